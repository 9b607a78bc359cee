// Sample companion tool of the package: reports whether the management
// service is registered and its state. A sample that changes nothing.
#include <windows.h>

#include <cstdio>

#include "deploy/stamp_writer.h"
#include "version.h"
#include "win32/handles.h"

QSETUP_DEFINE_VERSION_STAMP(kTelmxremVersionStamp);

int main() {
  QSETUP_KEEP_VERSION_STAMP(kTelmxremVersionStamp);
  using qsetup::win32::UniqueServiceHandle;
  const UniqueServiceHandle scm(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!scm) return 1;
  const UniqueServiceHandle service(::OpenServiceA(scm.get(), "QLN2Svc", SERVICE_QUERY_STATUS));
  if (!service) {
    std::printf("QLN2Svc: not registered\n");
    return 1;
  }
  SERVICE_STATUS status{};
  if (!::QueryServiceStatus(service.get(), &status)) {
    std::printf("QLN2Svc: registered, state unknown (%lu)\n", ::GetLastError());
    return 1;
  }
  std::printf("QLN2Svc: registered, %s\n",
              status.dwCurrentState == SERVICE_RUNNING ? "running" : "not running");
  return 0;
}
