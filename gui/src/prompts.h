#pragma once

#include <QString>

class QUrl;
class QWidget;

namespace haldorin {

// Everything the front end asks of the user or hands to the desktop goes
// through this interface, so tests can answer without a modal box and without
// starting a viewer.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // Modal boxes owned by `parent`; critical and information boxes have one OK button.
    virtual void critical(QWidget* parent, const QString& title, const QString& text) = 0;
    virtual void information(QWidget* parent, const QString& title, const QString& text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool question(QWidget* parent, const QString& title, const QString& text) = 0;
    virtual void about(QWidget* parent, const QString& title, const QString& text) = 0;

    // File dialogs; an empty result means the user cancelled.
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter, QString* selectedFilter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter, QString* selectedFilter) = 0;

    // Opens a document in the desktop's default application; the outcome is not reported.
    virtual void openUrl(const QUrl& url) = 0;
};

// The real thing: QMessageBox, QFileDialog and QDesktopServices.
class QtPrompts final : public UserPrompts {
public:
    void critical(QWidget* parent, const QString& title, const QString& text) override;
    void information(QWidget* parent, const QString& title, const QString& text) override;
    bool question(QWidget* parent, const QString& title, const QString& text) override;
    void about(QWidget* parent, const QString& title, const QString& text) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter, QString* selectedFilter) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter, QString* selectedFilter) override;
    void openUrl(const QUrl& url) override;
};

} // namespace haldorin
