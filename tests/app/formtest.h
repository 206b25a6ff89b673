#pragma once

#include "app/errorbox.h"
#include "settings/kesto_ini.h"
#include "worklist/memoedit.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>

// Helpers shared by the window's tests. The profile is the one beside the test executable
// (GetIniFileName), so each test writes the profile it needs and removes it afterwards.

// The list as the window shows it at start.
inline const QString placeholder = QStringLiteral("Déposez ici un fichier contenat des adresses EMAIL\r\n");

inline QString profilePath()
{
    return GetIniFileName();
}

inline void writeProfile(const QByteArray &content)
{
    QFile file(profilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write the test profile");
    file.write(content);
}

inline QByteArray readProfile()
{
    QFile file(profilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A profile that names fileName as the last file dropped, with the option as given and a
// placement.
inline QByteArray profileWithFile(const QString &fileName, bool autoExtract)
{
    return "[" + ExeName(false).toUtf8() + "]\nForm1=30:40:500:300\n[FICHIER]\nIMPORT="
            + fileName.toUtf8() + "\n[OPTIONS]\nchk_AUTO=" + (autoExtract ? "1" : "0") + "\n";
}

inline QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write a test file");
    return path;
}

// Drops files on the text area as the desktop does: a drag that enters, then the drop.
// The drop is taken at once; the file is loaded once the event loop runs.
inline void sendDrop(MemoEdit *memo, const QStringList &fileNames)
{
    QList<QUrl> urls;
    for (const QString &fileName : fileNames)
        urls.append(QUrl::fromLocalFile(fileName));
    QMimeData mimeData;
    mimeData.setUrls(urls);
    QWidget *viewport = memo->viewport();
    const QPoint pos(40, 30);
    QDragEnterEvent enter(pos, Qt::CopyAction, &mimeData, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &mimeData, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &drop);
    QVERIFY(drop.isAccepted());
}

// The same, and the window loads the file.
inline void dropFiles(MemoEdit *memo, const QStringList &fileNames)
{
    const QString before = memo->Lines()->Text();
    sendDrop(memo, fileNames);
    QCOMPARE(memo->Lines()->Text(), before);
    QCoreApplication::sendPostedEvents();
}

// Collects the texts the error box would show, instead of opening it.
class ErrorBoxes
{
public:
    ErrorBoxes() { setErrorBoxHook([this](const QString &text) { m_texts.append(text); }); }
    ~ErrorBoxes() { setErrorBoxHook({}); }
    const QStringList &texts() const { return m_texts; }

private:
    QStringList m_texts;
};

// Calls answer with the next modal box or dialog once it is open; answer must close it.
inline void whenModalOpens(QObject *context, const std::function<void(QWidget *)> &answer)
{
    QTimer::singleShot(10, context, [context, answer] {
        if (QWidget *modal = QApplication::activeModalWidget())
            answer(modal);
        else
            whenModalOpens(context, answer);
    });
}
