// What the uninstall removes of SETUP.EXE's work: the service that the
// service tool registered, and SETUP.EXE's event source with its message
// files.
#pragma once

#include <windows.h>
// windows.h first: the installer's headers build on its types.
#include <msi.h>

#include <string>

namespace qsetup::msi {

// Unless a product of `upgrade_code` other than `product_code` stays
// installed (an upgrade removes the older product after the newer one has
// installed: the service and the event source are the newer one's then),
// leaves no service, no event source and no message file of SETUP.EXE
// behind. The service
// tool's removal runs from the system directory, or from
// `installed_folder` (with its closing separator) when the system directory
// has none; the service control manager deletes the service if it is still
// there. Logs what it did and what failed.
void RemoveServiceAndEventSource(MSIHANDLE install, const std::wstring& product_code,
                                 const std::wstring& upgrade_code,
                                 const std::wstring& installed_folder);

}  // namespace qsetup::msi
