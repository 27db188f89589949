#pragma once
// One running copy per user and display. The first copy answers a local socket
// named after "WM_Kova250106", the user and the display; a later copy asks it to
// restore its window, gets the answer 1 and ends.

#include <memory>

#include <QObject>
#include <QString>

class QLocalServer;
class QLockFile;

namespace kova {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    static inline const QString kMessageName = QStringLiteral("WM_Kova250106");

    // The default key is built from kMessageName, the user id and the display.
    explicit SingleInstance(QString key = defaultKey(), QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Result {
        First,           // this copy now answers later ones
        OtherActivated,  // a running copy answered and restores itself
        Unavailable,     // neither: run on without the check
    };
    // Asks a running copy; when none answers, becomes the one that answers.
    Result claim();

    static QString defaultKey();

signals:
    // A later copy asked: restore the main window. The answer 1 is sent after
    // the handlers ran.
    void activationRequested();

private:
    bool askRunning();

    QString key_;
    std::unique_ptr<QLocalServer> server_;
};

}  // namespace kova
