#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace vimra {

class AVDocument;
class TolvThematicKeywords;

// The program-wide state of the start-up module.
struct AppState {
    std::shared_ptr<AVDocument> objAVDoc;                    // the current document, or none
    std::shared_ptr<TolvThematicKeywords> objThematicKeywords; // the vocabulary, or none
    int iCrossLanguage = 0;                                  // 0 English … 4 French, 5 disabled
    QString strCommandLine;
    QStringList colNotFoundNames;                            // names WarnNotFoundOnce has reported

    void reset() { *this = AppState(); }
};

AppState& appState();

} // namespace vimra
