#pragma once

#include <QLineEdit>

// A read-only line edit for a path: where the path is wider than the field,
// its middle gives way to "…", so that both the start and the box folder's
// own name stay in view. The whole path is in the tool tip.
class ElidedPathEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit ElidedPathEdit(QWidget *parent = nullptr);

    void setPath(const QString &path);
    QString path() const { return m_path; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void showPath();

    QString m_path;
};
