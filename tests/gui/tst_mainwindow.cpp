// The main window: form, menus, shortcuts, pictures, help links, about box and
// how it opens the checking dialog.

#include "app.h"
#include "fakes.h"
#include "mainwindow.h"
#include "folvanedialog.h"
#include "nembrildialog.h"
#include "quoreldialog.h"
#include "taviskdialog.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

using testing_gui::FakeRunner;
using testing_gui::RecordingPrompts;

class MainWindowTest : public QObject {
    Q_OBJECT

    RecordingPrompts prompts;
    FakeRunner runner;
    haldorin::Services services() { return {&prompts, &runner, haldorin::kRunTickMs}; }

    static QStringList menuEntries(QMenu* menu)
    {
        QStringList entries;
        for (QAction* action : menu->actions())
            entries << (action->isSeparator() ? QStringLiteral("--")
                                              : action->text() + QLatin1Char('|')
                                                    + action->shortcut().toString());
        return entries;
    }

private slots:
    void initTestCase() { haldorinInitResources(); }
    void init() { prompts = RecordingPrompts(); }

    void formAndLook()
    {
        haldorin::MainWindow window(services());
        QCOMPARE(window.windowTitle(), QStringLiteral("HALDORIN Toolkit - welcome!"));
        QCOMPARE(window.size(), QSize(800, 600));
        QCOMPARE(window.minimumSize(), QSize(0, 600));
        QCOMPARE(window.maximumSize(), QSize(800, 600));
        QVERIFY(!window.isModal());
        QCOMPARE(window.styleSheet(),
                 QStringLiteral("MainWindow {border-image: url(:/img/img/main.jpg) 0 0 0 0 stretch stretch;}"));
        auto* central = window.findChild<QWidget*>(QStringLiteral("centralWidget"));
        QVERIFY(central);
        QCOMPARE(central->styleSheet(), QStringLiteral("#centralWidget {\nborder-image: url(:/img/img/main.jpg) "
                                                       "0 0 0 0 stretch stretch;\n}\n"));
        QVERIFY(window.findChild<QStatusBar*>(QStringLiteral("statusBar")));
        QCOMPARE(window.findChild<QMenuBar*>(QStringLiteral("menuBar"))->width(), 800);
        QCOMPARE(window.startDirectory(), QDir::currentPath());
    }

    void moduleButtons_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QPoint>("position");
        QTest::newRow("checking") << "btnQuorel" << "check" << QPoint(160, 390);
        QTest::newRow("tracing") << "btnNembril" << "trace" << QPoint(290, 391);
        QTest::newRow("stacking") << "btnTavisk" << "stack" << QPoint(420, 391);
        QTest::newRow("inbreeding") << "btnFolvane" << "get_f" << QPoint(550, 390);
    }
    void moduleButtons()
    {
        QFETCH(QString, name);
        QFETCH(QString, picture);
        QFETCH(QPoint, position);
        haldorin::MainWindow window(services());
        auto* button = window.findChild<QPushButton*>(name);
        QVERIFY(button);
        QVERIFY(button->text().isEmpty());
        QCOMPARE(button->geometry(), QRect(position, QSize(95, 104)));
        QCOMPARE(button->minimumSize(), QSize(95, 104));
        QCOMPARE(button->maximumSize(), QSize(95, 104));
        const QString sheet = QStringLiteral("#%1{\n\tbackground-color: transparent;\n\tborder-image:url(:/img/img/"
                                             "%2.png);\n\tbackground: none;\n\tborder: none;\n\tbackground-repeat: "
                                             "none;\n}\n#%1:pressed\n{\n    border-image: url(:/img/img/%2_hov.png);\n}")
                                  .arg(name, picture);
        QCOMPARE(button->styleSheet(), sheet);
        // Both pictures are compiled in and are real pictures of the button's size.
        for (const QString& file : {picture + ".png", picture + "_hov.png"}) {
            const QImage image(QStringLiteral(":/img/img/") + file);
            QVERIFY2(!image.isNull(), qPrintable(file));
            QCOMPARE(image.size(), QSize(95, 104));
        }
    }

    void resources()
    {
        const QImage background(QStringLiteral(":/img/img/main.jpg"));
        QCOMPARE(background.size(), QSize(800, 600));
        for (const char* icon : {":img/img/icon2.ico", ":img/img/icon.ico"}) {
            const QIcon loaded(QString::fromLatin1(icon));
            QVERIFY2(!loaded.isNull() && !loaded.availableSizes().isEmpty(), icon);
            QVERIFY(loaded.availableSizes().contains(QSize(32, 32)));
        }
    }

    void focusOrder()
    {
        haldorin::MainWindow window(services());
        QStringList order;
        QWidget* widget = window.findChild<QWidget*>(QStringLiteral("btnQuorel"));
        for (int i = 0; i < 4; ++i) {
            order << widget->objectName();
            widget = widget->nextInFocusChain();
        }
        QCOMPARE(order, (QStringList{"btnQuorel", "btnNembril", "btnTavisk", "btnFolvane"}));
    }

    void menus()
    {
        haldorin::MainWindow window(services());
        auto* file = window.findChild<QMenu*>(QStringLiteral("menuFile"));
        auto* docs = window.findChild<QMenu*>(QStringLiteral("menuDocs"));
        auto* about = window.findChild<QMenu*>(QStringLiteral("menuAbout"));
        QVERIFY(file && docs && about);
        QCOMPARE(file->title(), QStringLiteral("File"));
        QCOMPARE(docs->title(), QStringLiteral("Help"));
        QCOMPARE(about->title(), QStringLiteral("About"));
        QCOMPARE(menuEntries(file),
                 (QStringList{"Pedigree Checking (Quorel)|Ctrl+1", "--", "Pedigree Tracing (Nembril)|Ctrl+2", "--",
                              "Pedigree Stacking (Tavisk)|Ctrl+3", "--", "F-coeff and PCI  (Fol_vane)|Ctrl+4", "--",
                              "Exit Program|Ctrl+Q"}));
        QCOMPARE(menuEntries(docs), (QStringList{"Quorel|F1", "--", "Nembril|F2", "--", "Tavisk|F3", "--",
                                                 "Fol_vane|F4", "--", "PDF Manual (Korean)|Ctrl+K"}));
        QCOMPARE(menuEntries(about), QStringList{"Software and Info.|"});
        const QList<QAction*> top = window.findChild<QMenuBar*>(QStringLiteral("menuBar"))->actions();
        QCOMPARE(top.size(), 3);
        QCOMPARE(top[0]->menu(), file);
        QCOMPARE(top[2]->menu(), about);
    }

    // Help entries point into the working directory the program was started
    // from; a missing document is handed over all the same and nothing is said.
    void helpLinks()
    {
        QTemporaryDir elsewhere;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        haldorin::MainWindow window(services());
        QVERIFY(QDir::setCurrent(before));
        const char* actions[] = {"actionQuorelDoc", "actionNembrilDoc", "actionTaviskDoc", "actionFolvaneDoc",
                                 "actionManualInKorean"};
        for (const char* name : actions)
            window.findChild<QAction*>(QString::fromLatin1(name))->trigger();
        const QString base = QDir(elsewhere.path()).canonicalPath();
        QCOMPARE(prompts.urls,
                 (QList<QUrl>{QUrl::fromLocalFile(base + "/help/Quorel_help.htm"),
                              QUrl::fromLocalFile(base + "/help/Nembril_help.htm"),
                              QUrl::fromLocalFile(base + "/help/Tavisk_help.htm"),
                              QUrl::fromLocalFile(base + "/help/Folvane_help.htm"),
                              QUrl::fromLocalFile(base + "/help/Haldorkit_V4.pdf")}));
        QVERIFY(prompts.boxes.isEmpty());
    }

    void aboutBox()
    {
        haldorin::MainWindow window(services());
        window.findChild<QAction*>(QStringLiteral("actionSoftware"))->trigger();
        QCOMPARE(prompts.boxes.size(), 1);
        QCOMPARE(prompts.boxes[0].kind, QStringLiteral("about"));
        QCOMPARE(prompts.boxes[0].title, QStringLiteral("ABOUT"));
        const QString text = prompts.boxes[0].text;
        const int info = text.indexOf(QStringLiteral("Software Name & version info:"));
        const int license = text.indexOf(QStringLiteral("License terms, permissions and disclaimers:"));
        QVERIFY(info == 0);
        QVERIFY(license > info);
        QVERIFY(text.contains(QStringLiteral("version 1.0")));
        // The platform the program was built for.
#ifdef Q_OS_LINUX
        QVERIFY(text.contains(QStringLiteral("\nOS: Linux (") + QSysInfo::buildCpuArchitecture() + QStringLiteral(")\n")));
#endif
        QVERIFY(text.contains(QStringLiteral("\nOS: ") + haldorin::MainWindow::builtFor() + QLatin1Char('\n')));
        QVERIFY(!haldorin::MainWindow::builtFor().isEmpty());
        QVERIFY(text.indexOf(QStringLiteral("====="), license) > license);
        QVERIFY(text.contains(QStringLiteral("academic\nand research purposes only.")));
        QVERIFY(text.contains(QStringLiteral("WITHOUT WARRANTY")));
    }

    // Each Ctrl+1 (or button click) opens one more independent, modeless
    // checking dialog owned by the main window.
    void opensCheckingDialogs()
    {
        haldorin::MainWindow window(services());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* check = window.findChild<QAction*>(QStringLiteral("actionPedigreeCheck"));
        QCOMPARE(check->shortcut(), QKeySequence(QStringLiteral("Ctrl+1")));
        check->trigger();
        haldorin::QuorelDialog* first = window.quorelDialog();
        QVERIFY(first);
        check->trigger();
        haldorin::QuorelDialog* second = window.quorelDialog();
        QVERIFY(second && second != first);
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("btnQuorel")), Qt::LeftButton);
        QVERIFY(window.quorelDialog() != second);
        const auto dialogs = window.findChildren<haldorin::QuorelDialog*>();
        QCOMPARE(dialogs.size(), 3);
        for (auto* dialog : dialogs) {
            QCOMPARE(dialog->parent(), &window);
            QVERIFY(dialog->isVisible());
            QVERIFY(!dialog->isModal());
        }
        // Closing a dialog hides it; it stays alive with the main window.
        prompts.questionAnswer = true;
        first->close();
        QVERIFY(!first->isVisible());
        QCOMPARE(window.findChildren<haldorin::QuorelDialog*>().size(), 3);
    }

    // The tracing, stacking and inbreeding dialogs open from their button, their
    // menu entry and its shortcut, each time a new one.
    void opensOtherDialogs()
    {
        haldorin::MainWindow window(services());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        struct Entry {
            const char* button;
            const char* action;
            Qt::Key key;
            QString title;
        };
        const Entry entries[] = {
            {"btnNembril", "actionPedigreeTrace", Qt::Key_2, QStringLiteral("HALDORIN (Pedigree Trace Module)")},
            {"btnTavisk", "actionPedigreeStack", Qt::Key_3, QStringLiteral("HALDORIN (Pedigree Stack Module)")},
            {"btnFolvane", "actionPedigreeGetF", Qt::Key_4, QStringLiteral("HALDORIN (Pedigree Get_F Module)")},
        };
        auto latest = [&](int i) -> QDialog* {
            if (i == 0)
                return window.nembrilDialog();
            if (i == 1)
                return window.taviskDialog();
            return window.folvaneDialog();
        };
        for (int i = 0; i < 3; ++i) {
            const Entry& e = entries[i];
            QTest::mouseClick(window.findChild<QPushButton*>(QString::fromLatin1(e.button)), Qt::LeftButton);
            QDialog* byButton = latest(i);
            QVERIFY(byButton);
            QCOMPARE(byButton->windowTitle(), e.title);
            QVERIFY(byButton->isVisible() && !byButton->isModal());
            QCOMPARE(byButton->parent(), &window);
            window.findChild<QAction*>(QString::fromLatin1(e.action))->trigger();
            QDialog* byMenu = latest(i);
            QVERIFY(byMenu && byMenu != byButton);
            QVERIFY(byButton->isVisible());
        }
        QCOMPARE(window.findChildren<haldorin::NembrilDialog*>().size(), 2);
        QCOMPARE(window.findChildren<haldorin::TaviskDialog*>().size(), 2);
        QCOMPARE(window.findChildren<haldorin::FolvaneDialog*>().size(), 2);
    }

    void otherShortcutsFromTheKeyboard()
    {
        const Qt::Key keys[] = {Qt::Key_2, Qt::Key_3, Qt::Key_4};
        for (int i = 0; i < 3; ++i) {
            haldorin::MainWindow window(services());
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            QTest::keyClick(&window, keys[i], Qt::ControlModifier);
            QDialog* opened = i == 0 ? static_cast<QDialog*>(window.nembrilDialog())
                              : i == 1 ? static_cast<QDialog*>(window.taviskDialog())
                                       : static_cast<QDialog*>(window.folvaneDialog());
            QVERIFY2(opened && opened->isVisible(), qPrintable(QString::number(i)));
        }
    }

    void keyboardShortcut()
    {
        haldorin::MainWindow window(services());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_1, Qt::ControlModifier);
        QVERIFY(window.quorelDialog());
        haldorin::QuorelDialog* first = window.quorelDialog();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_1, Qt::ControlModifier);
        QVERIFY(window.quorelDialog() && window.quorelDialog() != first);
    }

    // Closing the main window asks nothing, not even the open dialogs. (That the
    // event loop then ends is Qt's rule for windows with a parent.)
    void closesWithoutQuestion()
    {
        haldorin::MainWindow window(services());
        window.show();
        window.findChild<QAction*>(QStringLiteral("actionPedigreeCheck"))->trigger();
        QVERIFY(window.quorelDialog()->isVisible());
        window.findChild<QAction*>(QStringLiteral("actionCloseMain"))->trigger();
        QVERIFY(!window.isVisible());
        QVERIFY(window.quorelDialog()->parentWidget() == &window);
        QVERIFY(prompts.boxes.isEmpty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
