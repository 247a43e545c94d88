#pragma once

// What the dialog tests share: text helpers across the GBK boundary, the
// recorded messages as Unicode, and checks of the dialog frame.

#include <string>
#include <vector>

#include <QDialog>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <QTest>

#include "common/Gbk.h"
#include "common/KeptTexts.h"
#include "engine/Services.h"
#include "store/TaskStore.h"
#include "support/FakeMessages.h"
#include "support/TempDir.h"

namespace chengfan::testing {

// A UTF-8 literal of a test as the GBK bytes the store holds.
inline std::string gbk(const char* utf8) { return common::utf8ToGbk(utf8).value(); }
// Bytes in a form QCOMPARE prints.
inline QByteArray raw(const std::string& bytes) { return QByteArray::fromStdString(bytes); }
// GBK bytes from the store as Unicode.
inline QString unicode(const std::string& gbkText) {
    return QString::fromStdString(common::gbkToUtf8(gbkText));
}

// The messages shown so far, as Unicode, for comparison with the tests' literals.
inline QStringList messagesOf(const FakeMessages& messages) {
    QStringList list;
    for (const common::Text& text : messages.texts()) list << unicode(text);
    return list;
}
inline QString lastMessage(const FakeMessages& messages) {
    const QStringList list = messagesOf(messages);
    return list.isEmpty() ? QString() : list.constLast();
}

// A run directory with its store, and what a dialog needs besides.
struct DialogSetting {
    TempDir dir;
    store::TaskStore store{dir.path()};
    common::KeptTexts kept;
    FakeMessages messages;

    // Task "key" gets the URL "http://h/<key>" and, unless listed as pathless,
    // the save path "d:\p\<key>.html".
    void addTasks(const QStringList& keys, const QStringList& pathless = {}) {
        for (const QString& key : keys) {
            const std::string k = gbk(key.toUtf8().constData());
            QVERIFY(store.writeUrl(k, gbk(("http://h/" + key).toUtf8().constData())));
            if (!pathless.contains(key)) {
                QVERIFY(store.writeSavePath(k, gbk(("d:\\p\\" + key + ".html").toUtf8().constData())));
            }
        }
    }
};

// A run directory below a regular file: every write to its Config.ini fails (ENOTDIR).
inline std::string unwritableRunDirectory(const TempDir& dir) {
    writeFileBytes(dir.file("file"), "not a directory");
    return dir.file("file") + "/dir";
}

template <typename Control>
Control* control(QWidget& window, const QString& name) {
    auto* found = window.findChild<Control*>(name);
    if (found == nullptr) qFatal("no control named %s", qPrintable(name));
    return found;
}

inline QLineEdit* box(QWidget& window, const char* name) {
    return control<QLineEdit>(window, QString::fromUtf8(name));
}
inline void click(QWidget& window, const char* buttonName) {
    QTest::mouseClick(control<QPushButton>(window, QString::fromUtf8(buttonName)), Qt::LeftButton);
}
inline void type(QWidget& window, const char* boxName, const QString& text) {
    QLineEdit* edit = box(window, boxName);
    edit->clear();
    // ASCII is typed key by key; anything else arrives as an input method commits it.
    QString pending;
    const auto commit = [&] {
        if (pending.isEmpty()) return;
        QInputMethodEvent event;
        event.setCommitString(pending);
        QCoreApplication::sendEvent(edit, &event);
        pending.clear();
    };
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            commit();
            QTest::keyClick(edit, c.toLatin1());
        } else {
            pending += c;
        }
    }
    commit();
}

// The frame every dialog shares: fixed client size, close box only, centred by
// its Windows outer size (client + 2 x 26).
inline void checkDialogFrame(QDialog& dialog, const QString& name, const QString& title, QSize client) {
    QCOMPARE(dialog.objectName(), name);
    QCOMPARE(dialog.windowTitle(), title);
    QCOMPARE(dialog.size(), client);
    QCOMPARE(dialog.minimumSize(), client);
    QCOMPARE(dialog.maximumSize(), client);
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowContextHelpButtonHint));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize outer = client + QSize(2, 26);
    QCOMPARE(dialog.pos(), QPoint(screen.x() + (screen.width() - outer.width()) / 2,
                                  screen.y() + (screen.height() - outer.height()) / 2));
    // Every control lies inside the client area, and no button answers Enter.
    for (QWidget* child : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        QVERIFY2(QRect(QPoint(0, 0), client).contains(child->geometry()), qPrintable(child->objectName()));
    }
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        QVERIFY2(!button->autoDefault() && !button->isDefault(), qPrintable(button->objectName()));
    }
}

// One row of a window's control table.
inline void checkControl(QWidget& window, const QString& name, const QString& kind, QRect geometry,
                         const QString& text, bool enabled) {
    QWidget* widget = window.findChild<QWidget*>(name);
    QVERIFY2(widget != nullptr, qPrintable(name));
    QCOMPARE(widget->parentWidget(), &window);
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(widget->isEnabled(), enabled);
    QVERIFY(!widget->isHidden());
    if (kind == QLatin1String("label")) {
        auto* label = qobject_cast<QLabel*>(widget);
        QVERIFY(label != nullptr);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));
    } else if (kind == QLatin1String("edit")) {
        auto* edit = qobject_cast<QLineEdit*>(widget);
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->text(), text);
        QVERIFY(edit->maxLength() > 1 << 30);
        QVERIFY(!edit->isReadOnly() || !enabled);
    } else {
        auto* button = qobject_cast<QPushButton*>(widget);
        QVERIFY(button != nullptr);
        QCOMPARE(button->text(), text);
    }
}

// The columns of a window's control table: a row a control, named by its tag.
inline void addControlColumns() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
}

// The current row of the control table, on a window just opened over an empty
// run directory; opening it shows no message.
template <typename Window>
void checkControlRow() {
    QFETCH(QString, kind);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    DialogSetting s;
    Window window(s.store, s.kept, s.messages);
    checkControl(window, QString::fromUtf8(QTest::currentDataTag()), kind, geometry, text, enabled);
    QVERIFY(s.messages.shown().empty());
}

// Enter, with the focus on each control in turn, presses nothing; Esc closes.
template <typename Check>
void checkEnterPressesNothing(QDialog& dialog, Check nothingHappened) {
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (QWidget* widget : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!widget->isEnabled() || widget->focusPolicy() == Qt::NoFocus) continue;
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Return);
        QTest::keyClick(widget, Qt::Key_Enter);
        nothingHappened(widget->objectName());
        if (QTest::currentTestFailed()) return;
    }
    QVERIFY(dialog.isVisible());
    // Esc from inside an edit box closes the dialog as its close box does.
    QLineEdit* edit = nullptr;
    for (QLineEdit* candidate : dialog.findChildren<QLineEdit*>()) {
        if (candidate->isEnabled() && edit == nullptr) edit = candidate;
    }
    QVERIFY(edit != nullptr);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

}  // namespace chengfan::testing
