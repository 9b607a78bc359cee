// Sample companion tool of the package: reports whether the management
// service is registered and its state. A sample that changes nothing.
#include <windows.h>

#include <cstdio>

#include "stamp.h"

QSETUP_DEFINE_VERSION_STAMP(kTelmxremVersionStamp);

int main() {
  QSETUP_KEEP_VERSION_STAMP(kTelmxremVersionStamp);
  SC_HANDLE scm = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (scm == nullptr) return 1;
  SC_HANDLE service = ::OpenServiceA(scm, "QLN2Svc", SERVICE_QUERY_STATUS);
  int rc = 0;
  if (service == nullptr) {
    std::printf("QLN2Svc: not registered\n");
    rc = 1;
  } else {
    SERVICE_STATUS status{};
    ::QueryServiceStatus(service, &status);
    std::printf("QLN2Svc: registered, %s\n",
                status.dwCurrentState == SERVICE_RUNNING ? "running" : "not running");
    ::CloseServiceHandle(service);
  }
  ::CloseServiceHandle(scm);
  return rc;
}
