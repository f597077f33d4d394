#pragma once

// Drives one module dialog through its widgets: made in a scratch folder that
// stands for the start directory, with recording prompts and a fake runner.

#include "fakes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>

namespace testing_gui {

template <class Dialog> struct Harness {
    RecordingPrompts prompts;
    FakeRunner runner;
    QTemporaryDir dir;
    std::unique_ptr<Dialog> dialog;

    Harness()
    {
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());
        dialog = std::make_unique<Dialog>(haldorin::Services{&prompts, &runner, 10});
        QDir::setCurrent(before);
    }

    template <class T> T* w(const char* name)
    {
        T* widget = dialog->template findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    QString dash() { return w<QTextEdit>("qle_LogWindow")->toPlainText(); }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    void click(const char* name) { QTest::mouseClick(w<QAbstractButton>(name), Qt::LeftButton); }
    void setText(const char* name, const QString& text) { w<QLineEdit>(name)->setText(text); }
    QString text(const char* name) { return w<QLineEdit>(name)->text(); }

    void drop(const QStringList& files)
    {
        QList<QUrl> urls;
        for (const QString& file : files)
            urls << QUrl::fromLocalFile(file);
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dialog.get(), &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dialog.get(), &event);
    }
    void find(const char* button, const QString& file)
    {
        prompts.fileAnswers << file;
        click(button);
    }
    QStringList run()
    {
        runner.calls.clear();
        click("btn_RunModule");
        return runner.calls.isEmpty() ? QStringList() : runner.calls.last().arguments;
    }
    void setColumns(const QStringList& six)
    {
        const char* names[] = {"qle_AniColEntry", "qle_SireColEntry", "qle_DamColEntry",
                               "qle_AniLenEntry", "qle_SireLenEntry", "qle_DamLenEntry"};
        for (int i = 0; i < 6; ++i)
            setText(names[i], six[i]);
    }
    // The run summary's lines, from the "Arguments passed: " line to the rule.
    QStringList summaryLabels()
    {
        const QString shown = dash();
        const int start = shown.indexOf(QStringLiteral("Processed Input Details"));
        QStringList labels;
        if (start < 0)
            return labels;
        const QStringList lines = shown.mid(start).split(QLatin1Char('\n'));
        for (int i = 2; i < lines.size() && !lines[i].startsWith(QLatin1Char('=')); ++i)
            labels << lines[i];
        return labels;
    }
};

} // namespace testing_gui
