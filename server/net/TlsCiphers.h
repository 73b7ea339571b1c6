#pragma once

class QSslConfiguration;

namespace kvr::server {

// TLS 1.3, and on TLS 1.2 only suites with forward secrecy (ECDHE) and
// authenticated encryption (GCM, ChaCha20-Poly1305): no static RSA key
// exchange, no CBC with SHA-1, nothing older than TLS 1.2.
void offerModernTlsOnly(QSslConfiguration &tls);

} // namespace kvr::server
