#pragma once

#include "app/errorbox.h"
#include "settings/kesto_ini.h"

#include <QApplication>
#include <QFile>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

// Helpers shared by the window's tests. The profile is the one beside the test executable
// (GetIniFileName), so each test writes the profile it needs and removes it afterwards.

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
