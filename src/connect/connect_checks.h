// The connect window's checks of the typed address and port. No Windows header.
#pragma once
#include <cstdint>

// Valid when the platform's inet_addr accepts the text (not INADDR_NONE) and it is not empty.
bool IsValidAddress(const char* text);

// The port as atoi reads it; 0 means the port is rejected. No range is tested.
int32_t PortFromText(const char* text);
