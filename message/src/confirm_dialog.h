#pragma once

// The replace question (dialog 131): the existing file against the archive
// entry that would replace it.

#include "common/records.h"
#include "framework/dialog.h"

#include <QIcon>
#include <QString>

class CConfirmReplaceDlg : public framework::CDialogBase {
    Q_OBJECT
public:
    CConfirmReplaceDlg(const char *path, const ZIPINFOEX *entry, QWidget *parent);

    // The entry's "MM/DD/YYYY HH:MM" in the user's short date and time
    // formats (time without seconds); a text of another shape as it stands.
    static QString localDateTime(const char *dateTime);
    // Icon of the file type of `name` from the desktop's icon theme, or a
    // generic file icon.
    static QIcon fileTypeIcon(const QString &hostPathOrName);

private:
    QString existingSizeText(const char *path, QString *dateText, QString *hostPath) const;
};

// Answer of Confirm for the button the dialog ended with.
int confirmAnswer(int button);
