#pragma once
// Finders of the "Windows System" category (the recycle bins so far).

#include <string>
#include <vector>

#include "privacy/FinderSupportUnit.h"

// "X:\Recycled" for every fixed drive X, A to Z.
void ListRecycledFolders(std::vector<std::string>& List);
// Records the entries of one recycle folder; Counter runs across folders.
void ListRecycledFiles(const std::string& Folder, TEvidenceTree& Tree, int NodeIndex, int& Counter,
                       TResultContents& Results, const TExcludeContents& ExcludeList);
void ScanRecycleBin(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                    const TExcludeContents& ExcludeList);
