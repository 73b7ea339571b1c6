#pragma once

namespace kvr::server {

class Storage;

// Begins a writing transaction; rolls it back unless commit() was reached.
class WriteTransaction final
{
public:
    explicit WriteTransaction(Storage &storage);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;

    void commit();

private:
    Storage &m_storage;
    bool m_done = false;
};

} // namespace kvr::server
