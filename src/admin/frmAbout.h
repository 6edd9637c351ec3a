#pragma once

#include "ui/Services.h"

#include <QDialog>

class QLabel;
class QPushButton;

// Who makes the program and how to reach them.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    // logHead: the head of the library's operation log as printed
    // ("SEQ:HASH"), shown so that it can be compared with a filed one.
    frmAbout(const Services &services, QWidget *parent = nullptr, const QString &logHead = {});

    // The maker's details shown in the box.
    static const QString kMakerName, kMakerPhone, kMakerWeb, kMakerMail, kMakerNotice;

    static QColor linkColor() { return QColor(0, 0, 255); }
    static QColor hoverColor() { return QColor(128, 0, 128); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void setLinkColor(QLabel *label, const QColor &color);
    void openWeb();
    void openMail();

    const Services &m_services;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *Command1 = nullptr;
};
