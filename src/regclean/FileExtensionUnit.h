#pragma once
// Section "File Extensions": extension keys under HKEY_CLASSES_ROOT whose
// default value is an empty string, and "Open With" list entries of the user
// that name an application registered nowhere. Also the split of the class
// root's key names that "Invalid File Associations" uses as well.

#include <string>
#include <vector>

#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kFileExtensionsCaption;  // "File Extensions"

// Removes from `names` every name containing "*", "Directory", "Folder",
// "Drive" or "Unknow" (case-sensitive), then moves the names beginning with
// "." into `extensions`, keeping their order.
void SplitClassRootNames(std::vector<std::string>& names, std::vector<std::string>& extensions);

// The subkey names of a key, empty when it cannot be opened.
std::vector<std::string> SubKeyNamesOf(win::HKEY root, const std::string& path);

void ScanFileExtensions(ScanContext& context);
// The walk below the start path; each key whose path holds "OpenWithList"
// has its entries checked against "Applications" and "App Paths".
void ScanOpenWithLists(ScanContext& context);
// Extension problems delete the extension key with everything below it;
// "Open With" problems delete only that entry of the list.
void RepairFileExtensions(RepairContext& context);
RegistrySection FileExtensionsSection();

}  // namespace regclean
