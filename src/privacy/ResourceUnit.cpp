#include "privacy/ResourceUnit.h"

const char* const kCategoryNames[kCategoryCount] = {"Internet Explorer", "Windows Software",
                                                    "Windows System", "Internet Software"};

namespace {

using SF = ShownField;

const TEvidenceItemInfo kInternetExplorer[] = {
    {"Cache", "Clean IE Cache", -1, SF::Name, true},
    {"Address Bar History", "Clean Address Bar History", -1, SF::Data, true},
    {"Cookies", "Clean IE Cookies", -1, SF::Name, true},
    {"Favorites", "Clean Favorites", -1, SF::Name, false},
    {"Favorites Export File", "Clean Favorites Export File", -1, SF::Data, true},
    {"Favorites Import Folder", "Clean Favorites Import Folder", -1, SF::Data, true},
    {"AutoCompleteData", "AutoComplete Form Data", -1, SF::Data, true},
    {"Download Directory", "Clean Download Directory", -1, SF::Data, true},
    {"Save Directory", "Clean Save Directory", -1, SF::Data, true},
};

const TEvidenceItemInfo kWindowsSoftware[] = {
    {"Paint", "Clean Paint History", -1, SF::Data, true},
    {"WordPad", "Clean WordPad History", -1, SF::Data, true},
    {"Media Player History_List", "Clean MediaPlayer History", -1, SF::Data, true},
    {"Microsoft Frontpage Express", "Clean Frontpage Express History", -1, SF::Data, true},
    {"Microsoft Help Workshop", "Clean Microsoft Help Workshop History", -1, SF::Data, true},
    {"Microsoft Office", "Clean Microsoft Office", -1, SF::Data, true},
    {"Microsoft Publisher", "Clean Microsoft Publisher", -1, SF::Data, true},
    {"Microsoft FrontPage", "Clean Microsoft FrontPage", -1, SF::Data, true},
    {"Microsoft Netmeeting", "Clean Microsoft Netmeeting", -1, SF::Data, true},
    {"Microsoft MSN_Messenger", "Clean Microsoft MSN Messenger", -1, SF::Data, true},
    {"MSDN Project MRU_List", "Clean MSDN Project MRU List", -1, SF::Data, true},
    {"WinRAR History", "Clean WinRAR History", -1, SF::Path, true},
    {"WinZip History", "Clean WinZip History", -1, SF::Data, true},
    {"ZipMagic History", "Clean ZipMagic History", -1, SF::Data, true},
    {"ASPack History", "Clean ASPack History", -1, SF::Data, true},
    {"ACDSee History", "Clean ACDSee History", -1, SF::Data, true},
};

const TEvidenceItemInfo kWindowsSystem[] = {
    {"Run History", "Clean RunMRU", -1, SF::Data, true},
    {"Windows Send To", "Clean Windows Send To", -1, SF::Name, true},
    {"Recent Files", "Clean Windows Recent Documents Files", -1, SF::Name, true},
    {"Telnet Menu History", "Clean Telnet Menu History", -1, SF::KeyName, true},
    {"My Network Places", "Clean My Network Places", -1, SF::KeyName, true},
    {"Map Network Drive History", "Clean Map Network Drive MRU", -1, SF::Data, true},
    {"Windows Explorer Open With History", "Clean Windows Explorer Open With History", -1, SF::Data,
     true},
    {"Microsoft Management Console MRU List", "Clean Microsoft Management Console MRU List", -1,
     SF::Data, true},
    {"Regedit32 History", "Clean Regedit32 History", -1, SF::Data, true},
    {"Start Menu Click History", "Clean Start Menu Click History", -1, SF::KeyName, true},
    {"Start Menu Order History", "Clean Start Menu Order History", -1, SF::Name, true},
    {"TrayNotify", "Clean TrayNotify History", -1, SF::Name, true},
    {"ShareFolder", "Clean ShareFolder", -1, SF::KeyName, true},
    {"Exe MUICache", "Clean Windows MUICache", -1, SF::Data, true},
    {"RecycleBin", "Clean RecycleBin", -1, SF::Name, true},
};

const TEvidenceItemInfo kInternetSoftware[] = {
    {"Real DownLoad", "Clean RealDownload", -1, SF::Data, true},
    {"GetRight", "Clean GetRight MRU Info", -1, SF::Data, true},
    {"DownloadAccelerator", "Clean Download Accelerator", -1, SF::Data, true},
    {"KazaaHistory", "Clean Kazaa History", -1, SF::Data, true},
    {"FireFoxHistory", "", 4, SF::FirefoxUrl, true},
    {"FireFoxCookies", "", 5, SF::FirefoxCookie, true},
    {"FireFoxCache", "", 6, SF::FirefoxCacheFile, true},
    {"NetscapeHistory", "", 7, SF::NetscapeUrl, true},
    {"NetscapeCookies", "", 8, SF::NetscapeCookie, true},
    {"NetscapeCache", "", 9, SF::NetscapeCacheFile, true},
};

const TEvidenceItemInfo* const kTables[kCategoryCount] = {kInternetExplorer, kWindowsSoftware,
                                                          kWindowsSystem, kInternetSoftware};

}  // namespace

const TEvidenceItemInfo* EvidenceItemInfo(int Category, int Index) {
  if (Category < 0 || Category >= kCategoryCount || Index < 1 ||
      Index > kCategoryItemCounts[Category])
    return nullptr;
  return &kTables[Category][Index - 1];
}

void BuildEvidenceItemList(int Category, TSectionList& List) {
  if (Category < 0 || Category >= kCategoryCount) return;
  for (int index = 1; index <= kCategoryItemCounts[Category]; ++index) {
    const TEvidenceItemInfo& info = *EvidenceItemInfo(Category, index);
    auto rec = std::make_unique<TSectionRec>();
    rec->Category = Category;
    rec->Index = index;
    rec->CategoryName = kCategoryNames[Category];
    rec->ItemName = info.ItemName;
    rec->Checked = info.DefaultChecked ? 1 : 0;
    rec->Count = 0;
    List.push_back(std::move(rec));
  }
}

bool ItemOfFindingName(const std::string& Name, int& Category, int& Index) {
  static const struct {
    const char* name;
    int index;
  } kOwnNames[] = {{"FireFox Cookies", 6}, {"Netscape History", 8}, {"Netscape Cookies", 9}, {"netscape Cache", 10}};
  for (const auto& own : kOwnNames) {
    if (Name == own.name) {
      Category = 3;
      Index = own.index;
      return true;
    }
  }
  for (int category = 0; category < kCategoryCount; ++category) {
    for (int index = 1; index <= kCategoryItemCounts[category]; ++index) {
      if (Name == EvidenceItemInfo(category, index)->ItemName) {
        Category = category;
        Index = index;
        return true;
      }
    }
  }
  return false;
}
