// Natively there is no TLS: every https:// connection fails at its start.
#include "net/tls.h"

#include "net/cause.h"

int tls_start(int, const char*, TlsSession** session)
{
    *session = nullptr;
    cause_set("no TLS in this build", 0);
    return TLS_FAILED;
}

int tls_send(TlsSession*, const char*, int)
{
    return -1;
}

int tls_recv(TlsSession*, char*, int)
{
    return -1;
}

int tls_pending(const TlsSession*)
{
    return 0;
}

void tls_end(TlsSession*) {}

void tls_prepare(void) {}
