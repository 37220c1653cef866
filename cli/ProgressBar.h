#pragma once

#include <QString>

// A progress bar on standard error, drawn only when standard error is a
// terminal: "label [#########.........]  45%", redrawn in place. Nothing is
// written when it is not a terminal.
class ProgressBar
{
public:
    explicit ProgressBar(const QString &label, int fd = 2);
    ~ProgressBar();
    ProgressBar(const ProgressBar &) = delete;
    ProgressBar &operator=(const ProgressBar &) = delete;

    bool enabled() const { return m_enabled; }
    // Shows `percent` (clamped to 0..100); unchanged values are not redrawn.
    void update(int percent);
    // Ends the bar: at 100% and a line break when it succeeded, erased
    // otherwise. Does nothing when the bar was never drawn.
    void finish(bool succeeded);

    // The bar's text for a width in columns, without the carriage return.
    static QString render(const QString &label, int percent, int columns);

private:
    QString m_label;
    int m_fd;
    bool m_enabled;
    bool m_drawn = false;
    int m_percent = -1;
};
