#pragma once
// The browser repairs and add-on routines without windows: the thirteen
// fixed repairs of the "Internet Explorer Restorer", and the listing and
// removal of the three kinds of add-on entries of the "BHO Manager".

#include <array>
#include <string>

#include "common/RegistryContentUnit.h"

namespace recovery {

constexpr int kRepairCount = 13;
// Row captions in row order.
extern const std::array<const char*, kRepairCount> kRepairCaptions;

// Internet Explorer's stock search host (scheme and host, no path).
extern const char* const kStockSearchHost;
// The stock search-assistant page on that host.
std::string StockSearchAssistantUrl();

// Runs the repair of one row. False when something that exists could not be
// changed (a key not opened or created, a write or delete refused, a file
// still there); what is already missing is no failure.
bool RunRepair(int row);

// Add-on kinds (the kind tag of a row).
extern const char* const kMenuExtensionKind;  // "1"
extern const char* const kToolbarKind;        // "2"
extern const char* const kExplorerBarKind;    // "3"

// Appenders: one item per entry, in enumeration order.
void ListIEMenuExtensions(TRegistryContents& list);
void ListIEToolbars(TRegistryContents& list);
void ListIEExplorerBars(TRegistryContents& list);

// The display text of toolbar data by its type ("" for other types).
std::string ToolbarDisplayText(unsigned type, const std::vector<std::uint8_t>& data);

// Removers; true when the entry is gone afterwards.
bool RemoveIEMenuExtension(const std::string& keyPath, const std::string& parentPath,
                           const std::string& subKeyName);
bool RemoveIEToolbar(const std::string& keyPath, const std::string& valueName);
bool RemoveIEExplorerBar(const std::string& keyPath, const std::string& subKeyName);

}  // namespace recovery
