#pragma once
// Section "Shared DLL's Sections": reference counts of shared library files
// that are zero or name a file that no longer exists.

#include <string>

#include "platform/text/WinTypes.h"
#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kSharedDllsCaption;  // "Shared DLL's Sections"

void ScanSharedDlls(ScanContext& context);
// A value repairer: deletes the ticked values; the key stays.
void RepairSharedDlls(RepairContext& context);
RegistrySection SharedDllsSection();

// The reference count a value holds: the decimal text of a string (0 when it
// is not a number), a four-byte DWORD, the first byte of binary data (0 when
// empty); -1 for any other type. A DWORD of another size counts 0.
long long SharedDllCount(win::DWORD type, const std::vector<std::uint8_t>& data);

}  // namespace regclean
