#pragma once

#include <QProxyStyle>

// The style of the text area: its tooltip wakes up after 500 ms instead of the style's
// own delay.
class ToolTipStyle : public QProxyStyle
{
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr,
                  const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
};
