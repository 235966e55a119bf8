#pragma once
// The fifteen finders of the "Windows System" category: the Run box, the
// Send To and Recent folders, Explorer's remembered machines, drives,
// programs and shares, the start-menu counters, the notification-area
// icons, the executable-name cache and the recycle bins.

#include <string>
#include <vector>

#include "privacy/FinderSupportUnit.h"

void ScanRunHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                    const TExcludeContents& ExcludeList);
void ScanSendTo(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                const TExcludeContents& ExcludeList);
void ScanRecentFiles(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                     const TExcludeContents& ExcludeList);
void ScanTelnetHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList);
void ScanNetworkPlaces(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList);
void ScanMapNetworkDriveHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                                const TExcludeContents& ExcludeList);
void ScanOpenWithHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                         const TExcludeContents& ExcludeList);
void ScanMmcHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                    const TExcludeContents& ExcludeList);
void ScanRegeditHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                        const TExcludeContents& ExcludeList);
void ScanStartMenuClickHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                               const TExcludeContents& ExcludeList);
void ScanStartMenuOrderHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                               const TExcludeContents& ExcludeList);
void ScanTrayNotifyHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                           const TExcludeContents& ExcludeList);
void ScanShareFolders(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                      const TExcludeContents& ExcludeList);
void ScanMuiCache(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                  const TExcludeContents& ExcludeList);
void ScanRecycleBin(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                    const TExcludeContents& ExcludeList);

// Records the entries of the Send To (Mode 0) or Recent (Mode 1) folder.
void ListShellFolderFiles(const std::string& Folder, TEvidenceTree& Tree, int NodeIndex, int Mode,
                          TResultContents& Results, const TExcludeContents& ExcludeList);
// "X:\Recycled" for every fixed drive X, A to Z.
void ListRecycledFolders(std::vector<std::string>& List);
// Records the entries of one recycle folder; Counter runs across folders.
void ListRecycledFiles(const std::string& Folder, TEvidenceTree& Tree, int NodeIndex, int& Counter,
                       TResultContents& Results, const TExcludeContents& ExcludeList);
