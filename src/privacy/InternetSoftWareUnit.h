#pragma once
// The ten finders of the "Internet Software" category: the registry lists of
// three download managers and a file-sharing program, and the history,
// cookie and cache files of the Firefox and Netscape profiles.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "privacy/FinderSupportUnit.h"

void ScanRealDownload(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                      const TExcludeContents& ExcludeList);
void ScanGetRight(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                  const TExcludeContents& ExcludeList);
void ScanDownloadAccelerator(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                             const TExcludeContents& ExcludeList);
void ScanKazaa(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
               const TExcludeContents& ExcludeList);
void ScanFirefoxHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                        const TExcludeContents& ExcludeList);
void ScanFirefoxCookies(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                        const TExcludeContents& ExcludeList);
void ScanFirefoxCache(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                      const TExcludeContents& ExcludeList);
void ScanNetscapeHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                         const TExcludeContents& ExcludeList);
void ScanNetscapeCookies(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                         const TExcludeContents& ExcludeList);
void ScanNetscapeCache(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList);

// The path of the file FileName met last in a walk of the tree under Folder
// (case-sensitive name); empty when there is none.
std::string FindProfileFile(const std::string& Folder, const std::string& FileName);
// The folder named "Cache" met last in a walk of the tree under Folder.
std::string FindCacheFolder(const std::string& Folder);

// The entries a profile text file lists: the URLs of a "history.dat"
// (cookies false) or the upper-cased cookie texts of a "cookies.txt"
// (cookies true), in the machine's code page, in file order. visit returns
// false to stop. False when the file cannot be read.
bool WalkProfileFile(const std::string& path, bool cookies,
                     const std::function<bool(std::string_view entry)>& visit);
// The same for a text already loaded: lines joined with CR LF.
void WalkProfileText(const std::string& text, bool cookies,
                     const std::function<bool(std::string_view entry)>& visit);
