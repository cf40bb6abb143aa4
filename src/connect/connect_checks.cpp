// The connect window's checks of the typed address and port.
#include "connect/connect_checks.h"

#include <cstdlib>

#ifdef _WIN32
#include <winsock.h>
#else
#include <arpa/inet.h>
#endif

bool IsValidAddress(const char* text)
{
    // inet_addr("") is not INADDR_NONE on every system, hence the test for an empty text.
    return inet_addr(text) != INADDR_NONE && text[0] != '\0';
}

int32_t PortFromText(const char* text)
{
    return std::atoi(text);
}
