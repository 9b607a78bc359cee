// Sample service tool of the package. "-install -QLN2" registers the
// management service with the service control manager (demand start, not
// started); "-remove" stops and deletes it; "-service" is how the service
// control manager runs it. A sample: the service does nothing but run.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "deploy/stamp_writer.h"
#include "version.h"
#include "win32/handles.h"

QSETUP_DEFINE_VERSION_STAMP(kTelmxsvcVersionStamp);

namespace {

using qsetup::win32::UniqueHandle;
using qsetup::win32::UniqueServiceHandle;

constexpr char kServiceName[] = "QLN2Svc";
constexpr char kDisplayName[] = "Quillon 2 management service (sample)";

SERVICE_STATUS_HANDLE g_status_handle = nullptr;
HANDLE g_stop_event = nullptr;

void ReportStatus(DWORD state) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  ::SetServiceStatus(g_status_handle, &status);
}

DWORD WINAPI ControlHandler(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    ReportStatus(SERVICE_STOP_PENDING);
    ::SetEvent(g_stop_event);
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, char**) {
  g_status_handle = ::RegisterServiceCtrlHandlerExA(kServiceName, ControlHandler, nullptr);
  if (g_status_handle == nullptr) return;
  const UniqueHandle stop_event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (stop_event) {
    g_stop_event = stop_event.get();
    ReportStatus(SERVICE_RUNNING);
    ::WaitForSingleObject(g_stop_event, INFINITE);
  }
  ReportStatus(SERVICE_STOPPED);
}

int Install() {
  char path[MAX_PATH + 16];
  const DWORD n = ::GetModuleFileNameA(nullptr, path + 1, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  path[0] = '"';
  std::strcat(path, "\" -service");
  const UniqueServiceHandle scm(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
  if (!scm) {
    std::printf("telmxsvc: cannot open the service control manager (%lu)\n", ::GetLastError());
    return 1;
  }
  const UniqueServiceHandle service(
      ::CreateServiceA(scm.get(), kServiceName, kDisplayName, SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, path,
                       nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_SERVICE_EXISTS) {
      std::printf("telmxsvc: cannot create the service (%lu)\n", error);
      return 1;
    }
  }
  return 0;
}

int Remove() {
  const UniqueServiceHandle scm(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!scm) return 1;
  const UniqueServiceHandle service(::OpenServiceA(scm.get(), kServiceName, SERVICE_STOP | DELETE));
  if (!service) return 0;  // not registered: nothing to remove
  // A service that is not running refuses the stop; it is deleted all the same.
  SERVICE_STATUS status{};
  ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  return ::DeleteService(service.get()) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QSETUP_KEEP_VERSION_STAMP(kTelmxsvcVersionStamp);
  if (argc >= 2 && std::strcmp(argv[1], "-service") == 0) {
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(kServiceName), ServiceMain},
                                    {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherA(table) ? 0 : 1;
  }
  if (argc >= 2 && std::strcmp(argv[1], "-install") == 0) return Install();
  if (argc >= 2 && std::strcmp(argv[1], "-remove") == 0) return Remove();
  std::printf("usage: telmxsvc -install -QLN2 | -remove\n");
  return 2;
}
