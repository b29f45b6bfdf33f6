// TLS over a connected socket: the client side of a TLS 1.2 or 1.3 session
// through the platform's own TLS (Schannel on Windows), with the server's
// certificate chain checked against the system's trusted roots and its name
// against the host, always. Natively there is no TLS: tls_start fails, so an
// https:// URL there fails like a connection that could not be made.
#pragma once

struct TlsSession;

enum {
    TLS_OK = 1,
    TLS_FAILED = -1,     // the handshake failed or the connection ended
    TLS_UNTRUSTED = -2,  // the server's certificate is not trusted for host
};

// Runs the handshake on socket (connected, in blocking mode, with its
// receive time-out set, which bounds every wait) for host: the name sent as
// SNI and the one the certificate must carry. On TLS_OK *session is made;
// its owner ends it with tls_end before closing the socket.
int tls_start(int socket, const char* host, TlsSession** session);

// Encrypts and sends size bytes in as many records as they need: size, or
// -1 when a send fails.
int tls_send(TlsSession* session, const char* data, int size);

// Up to size bytes of what the server sent, as sock_recv gives them: the
// count (1 to size), 0 once the server has ended the session (close_notify),
// -1 on an error or time-out, and -1 when the connection ends without
// close_notify, since a stream cut that way may have been cut short.
int tls_recv(TlsSession* session, char* buffer, int size);

// 1 when tls_recv would return without waiting for the socket: the
// session holds received bytes not handed out yet (a socket with nothing
// to read says nothing of those), or the server ended the session.
int tls_pending(const TlsSession* session);

// Frees the session; the socket stays open.
void tls_end(TlsSession* session);

// Starts, on a thread of its own, what the first tls_start of the process
// would otherwise do on its path: the credentials made and the system's
// root store read. The first tls_start waits for the credentials before
// its handshake and for the roots before it checks the certificate, which
// is still checked whole. For a program that will soon open an https://
// connection; from the thread that calls tls_start. Once a process: later
// calls do nothing. Natively nothing.
void tls_prepare(void);
