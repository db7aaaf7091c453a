#pragma once
// The mapping list of the main dialog: the text of a mapping's line and of its tip, and the
// progress function through which a refresh fills the tree line by line.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdint>
#include <string>

#include "diag/firewall.h"
#include "natcfg/portolan.h"

// Process-wide: the main dialog's window, for TraversalProgress.
extern HWND mainWindowHandle;

// The protocol right-aligned in five places, then "<external address>:<port> => <internal
// client>:<port> :: <description> ", ports unsigned; no length limit, the router's texts in any script.
std::wstring MappingLine(const PortMapping& mapping);

// The tip of a mapping's line: the whole record, then what it means for reaching the port and
// the internal client, and where that client is this computer, whether a program there takes
// what the router forwards (the socket tables are read at each call: only for a tip that shows)
// and what Windows Firewall does with it (the policy as the cache holds it). It fits what a tip
// can show: the router's texts are cut, never the verdicts.
std::wstring MappingTip(const PortMapping& mapping, const IP_ADAPTER_INFO* adapters, FirewallCache& firewall);

// The configurator's progress function during a refresh.
void TraversalProgress(int32_t code);
