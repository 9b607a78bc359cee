#include "catalog/messages.h"

namespace qsetup {
namespace {

// Entries 58 to 67 are short names of driver files and directories for other
// systems; the program never prints them, but the numbering needs them.
constexpr const char* kBuiltin[kMessageCount] = {
    /*  0 */ "n",
    /*  1 */ "y",
    /*  2 */ "cancel",
    /*  3 */ "Path or file does not exist %s\n\r",
    /*  4 */ "Create directory? (y,n):\n\r",
    /*  5 */ "File %s was not copied.\n",
    /*  6 */ "Copying %s to %s\n",
    /*  7 */ "aborted\n\r\n\r",
    /*  8 */ "Orvane Quillon 2 software installation\n\r",
    /*  9 */ "The Orvane Quillon 2 software will be installed to ",
    /* 10 */ "Do you wish to specify a different path? (y,n): \n\r",
    /* 11 */ "Enter new path or type cancel: \n\r",
    /* 12 */ "Unable to update the AUTOEXEC.NCF file\n\r",
    /* 13 */ "Installation complete\n\r",
    /* 14 */ "Unable to access path %s\n\r",
    /* 15 */ "Unable to find SM.INI file.\n\r",
    /* 16 */ "SMAddress keyword not found or invalid.\n\r",
    /* 17 */ "SMInterrupt keyword not found or invalid.\n\r",
    /* 18 */
    "To continue the installation of the Orvane Quillon 2\nsoftware, press Enter. Press any other "
    "key to quit.\n\n",
    /* 19 */ "The Orvane Quillon 2 software was not installed.\n\n",
    /* 20 */
    "The %s device driver is already running and cannot be stopped.\nTo stop the device driver, "
    "shut down its application programs;\nthen try again.\n\n",
    /* 21 */ "The Orvane Quillon 2 software is installed and started.\n\n",
    /* 22 */ "The installation of the Orvane Quillon 2 software failed.\n\n",
    /* 23 */ "File system error: %d\n\n",
    /* 24 */ "Device driver service could not be created for %s: %d\n\n",
    /* 25 */ "Device driver could not be opened for %s: %d\n\n",
    /* 26 */ "Device driver could not be started for %s: %d\n\n",
    /* 27 */ "Administrator privileges are required.\n\n",
    /* 28 */ "\nInstallation failed\n",
    /* 29 */ "Unable to update the CONFIG.SYS file.\n\r",
    /* 30 */ "Invalid source path\n\r",
    /* 31 */ "Unknown Boot Drive. \n\r",
    /* 32 */ "Reboot the machine for the device driver to start. \n\r",
    /* 33 */ "Press any key to exit.",
    /* 34 */
    "Insufficient number of parameters passed in.\n\nSyntax: SETUP  or  SETUP XXX Y   or  SETUP "
    "UPGRADE\nwhere:  no arguments means use the SM.INI file.\n        XXX is the I/O port address "
    "in hexadecimal\n        Y  is the interrupt vector in hexadecimal\n        UPGRADE means only "
    "copy the driver files.\n",
    /* 35 */ "Upgrade complete.\n",
    /* 36 */ "Upgrade failed.\n",
    /* 37 */ "Installation aborted.\n",
    /* 38 */ "AUTOEXEC.NCF does not contain a valid \"load TELMXN\" string.\n",
    /* 39 */ "Unable to create directory %s\n",
    /* 40 */ "Editing the AUTOEXEC.NCF file.\n",
    /* 41 */ "Editing the CONFIG.SYS file.\n",
    /* 42 */ "Copy error.\n",
    /* 43 */ "Driver source file %s not found.\n",
    /* 44 */ "Unable to backup the AUTOEXEC.NCF file.\n",
    /* 45 */ "Unable to backup the CONFIG.SYS file.\n",
    /* 46 */ "Unable to open the CONFIG.SYS file.\n",
    /* 47 */ "Unable to read the CONFIG.SYS file.\n",
    /* 48 */ "CONFIG.SYS does not contain a valid \"device=TELMXO\" string.\n",
    /* 49 */ "%s is a backup of the current AUTOEXEC.NCF file.\n",
    /* 50 */ "%s is a backup of the current CONFIG.SYS file.\n",
    /* 51 */ "Cannot allocate memory.\n",
    /* 52 */ "%s is older than %s.\n",
    /* 53 */ "%s is the same version as %s.\n",
    /* 54 */ "Do you want to copy anyway? (y/n):\n",
    /* 55 */ "This program needs to run in NetWare 4.10 or higher.\n",
    /* 56 */ "Error writing to the registry\n",
    /* 57 */ "Registry does not contain a valid key entry for TELMXW.SYS.\n",
    /* 58 */ "TELMXW.SYS",
    /* 59 */ "TELMXN.NLM",
    /* 60 */ "TELMXO.SYS",
    /* 61 */ "TELMXW.DLL",
    /* 62 */ "TELMXREM.EXE",
    /* 63 */ "SYS:\\SYSTEM",
    /* 64 */ "C:\\QLN2",
    /* 65 */ "\\DRIVERS",
    /* 66 */ "TELMXU.SYS",
    /* 67 */ "TELMXSVC.EXE",
    /* 68 */ "The installation of the Orvane Halden device driver failed.\n\n",
    /* 69 */ "The Orvane Halden device driver is installed and started.\n\n",
    /* 70 */
    "The Quillon II device was not found.\nCheck the USB cable connection of the QLN II.\n",
    /* 71 */ "Failed to start install program.\n",
    /* 72 */
    "The Quillon II (QLN II) device was found, but the QLN II is\nnot configured for Windows, or "
    "the Windows USB drivers are not correctly \ninstalled for the QLN II device, or the QLN II is "
    "not properly connected to\nUSB.  First check the USB connection of the QLN II. Then in BIOS "
    "\nConfiguration/Setup use the Advanced Setup menu to check the QLN II \nConfiguration.  Then "
    "check Device Manager in Windows.  If a HID_SYS device is\nshown, select Update Driver for it. "
    "\n\nThe Orvane QLN II software will now be installed, but will not work properly\nuntil the "
    "QLN II connection and configuration are corrected.\n\n",
    /* 73 */ "Orvane Vantor software installation\n\r",
    /* 74 */ "Orvane Vantor software removal\n\r",
    /* 75 */ "Removal complete\n\r",
    /* 76 */ "\nRemoval failed\n",
    /* 77 */ "Removing older version of the device drivers.\n",
    /* 78 */ "Removed the old device drivers. \nReboot the machine to install the new drivers.\n",
    /* 79 */ "Installing drivers for %s.\n",
    /* 80 */
    "The Orvane Vantor function on this system requires the\n'Orvane Vantor for Ostrelle'\ndriver "
    "package.\n",
};

}  // namespace

const char* const* BuiltinMessages() {
  return kBuiltin;
}

}  // namespace qsetup
