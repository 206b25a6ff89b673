#pragma once

#include "worklist/progress.h"
#include "worklist/tstrings.h"

#include <QStringList>

// The in-memory string list: appends at the end, keeps duplicates, sorts without regard
// to case.
class TStringList : public TStrings
{
public:
    TStringList() = default;
    explicit TStringList(QStringList items);

    int Count() const override;
    QString Strings(int index) const override;
    void Clear() override;
    int Add(const QString &s) override;
    QString Text() const override;

    void Sort(const Progress &progress = {});

    const QStringList &items() const { return m_items; }
    QStringList &items() { return m_items; }

protected:
    void SetLoadedText(const QString &text) override;

private:
    QStringList m_items;
};
