#pragma once
// Section "ActiveX, OLE/COM Entries": help-folder and server keys of COM
// classes whose default value is an empty string, and classes whose type
// library is no longer registered.

#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kActiveXCaption;  // "ActiveX, OLE/COM Entries"

// The walk below the start path for empty "HELPDIR" and server keys;
// nothing below "AppID" is visited.
void ScanActiveXKeys(ScanContext& context);
// The classes under "CLSID" whose "TypeLib" names no registered library.
void ScanActiveXTypeLibs(ScanContext& context);
// A key repairer: each ticked problem's key goes with everything below it;
// the log shows the path without the root name.
void RepairActiveXEntries(RepairContext& context);
RegistrySection ActiveXSection();

}  // namespace regclean
