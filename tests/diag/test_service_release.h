#pragma once
// The event through which a test ends the test service's pending phase toward a state:
// shared by the service and the tests, which live in different processes.
#include <windows.h>

#include <string>

namespace test_service {

inline std::string ReleaseEventName(const std::string& serviceName, DWORD settledState) {
    return "Global\\gk_test_service_" + serviceName + "_" + std::to_string(settledState);
}

}  // namespace test_service
