#include "server/storage/WriteTransaction.h"

#include "server/storage/Storage.h"

namespace kvr::server {

WriteTransaction::WriteTransaction(Storage &storage) : m_storage(storage)
{
    m_storage.beginWrite();
}

WriteTransaction::~WriteTransaction()
{
    if (!m_done)
        m_storage.rollback();
}

void WriteTransaction::commit()
{
    m_storage.commit();
    m_done = true;
}

} // namespace kvr::server
