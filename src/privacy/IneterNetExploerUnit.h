#pragma once
// The nine finders of the "Internet Explorer" category.

#include "privacy/FinderSupportUnit.h"

void ScanIECache(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                 const TExcludeContents& ExcludeList);
void ScanIEAddressBarHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                             const TExcludeContents& ExcludeList);
void ScanIECookies(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                   const TExcludeContents& ExcludeList);
void ScanIEFavorites(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                     const TExcludeContents& ExcludeList);
void ScanIEFavoritesExportFile(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                               const TExcludeContents& ExcludeList);
void ScanIEFavoritesImportFolder(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                                 const TExcludeContents& ExcludeList);
void ScanIEAutoComplete(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                        const TExcludeContents& ExcludeList);
void ScanIEDownloadDirectory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                             const TExcludeContents& ExcludeList);
void ScanIESaveDirectory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                         const TExcludeContents& ExcludeList);
