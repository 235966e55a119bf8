#pragma once
// The sixteen finders of the "Windows Software" category: recent-file lists
// and remembered folders of Windows applets and named applications.

#include "privacy/FinderSupportUnit.h"

void ScanPaintHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                      const TExcludeContents& ExcludeList);
void ScanWordPadHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                        const TExcludeContents& ExcludeList);
void ScanMediaPlayerHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                            const TExcludeContents& ExcludeList);
void ScanFrontPageExpressHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                                 const TExcludeContents& ExcludeList);
void ScanHelpWorkshopHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                             const TExcludeContents& ExcludeList);
void ScanOfficeHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList);
void ScanPublisherHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                          const TExcludeContents& ExcludeList);
void ScanFrontPageHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                          const TExcludeContents& ExcludeList);
void ScanNetmeetingHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                           const TExcludeContents& ExcludeList);
void ScanMsnMessengerHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                             const TExcludeContents& ExcludeList);
void ScanMsdnHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                     const TExcludeContents& ExcludeList);
void ScanWinRarHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList);
void ScanWinZipHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList);
void ScanZipMagicHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                         const TExcludeContents& ExcludeList);
void ScanASPackHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList);
void ScanACDSeeHistory(TEvidenceTree& Tree, int NodeIndex, TResultContents& Results,
                       const TExcludeContents& ExcludeList);
