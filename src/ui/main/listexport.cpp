#include "ui/main/listexport.h"

#include <QTreeWidget>

#include "platform/atomicfile.h"
#include "platform/prompts.h"
#include "platform/tshell.h"
#include "store/message.h"
#include "ui/dialogs/gettextfileform.h"

QString SelectedRowsText(const QTreeWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        if (!row->isSelected()) continue;
        QString line = row->text(0);
        for (int column = 1; column < list->columnCount(); ++column)
            line += QLatin1Char(',') + row->text(column);
        lines << line;
    }
    return lines.join(QStringLiteral("\r\n"));
}

void ExportListToText(QTreeWidget* list, const QString& proposedName,
                      const std::function<int(TGetTextFileForm&)>& runForm) {
    const int rows = list->topLevelItemCount();
    if (rows == 0) {
        Prompts().MessageBox(QStringLiteral("Nothing in the list"), QStringLiteral(" "),
                             prompt::MB_OK);
        return;
    }
    QStringList columns;
    for (int c = 0; c < list->columnCount(); ++c)
        columns << list->headerItem()->text(c);
    TGetTextFileForm form(list->window());
    form.Offer(columns, proposedName);
    if (runForm(form) != QDialog::Accepted) return;
    const QList<bool> included = form.Included();
    QByteArray text;
    for (int r = 0; r < rows; ++r) {
        const QTreeWidgetItem* row = list->topLevelItem(r);
        QString line;
        for (int c = 0; c < included.size(); ++c) {
            if (!included[c]) continue;
            if (!line.isEmpty()) line += QLatin1Char(form.Delimiter());
            line += row->text(c);
        }
        if (!line.isEmpty()) text += line.toLatin1() + "\r\n";
    }
    QString reason;
    if (!RewriteFile(form.FileName(), text, &reason)) {
        ShowManagedMessage(MSG_CANT_OPEN_EXPORT, FormatText(StringTableText(MSG_CANT_OPEN_EXPORT),
                                                            {form.FileName(), reason}));
        return;
    }
    const QString done =
        QStringLiteral("Success\r\n\"") + form.FileName() +
        QStringLiteral("\" was created and\r\n") + QString::number(rows) +
        QStringLiteral(" lines were written to it.\r\n\r\nDo you want to see it now?");
    if (Prompts().MessageBox(done, QStringLiteral("Success"), prompt::MB_YESNO) != prompt::IDYES)
        return;
    TShell shell;
    if (!shell.Run(form.FileName()))
        Prompts().MessageBox(QStringLiteral("Can't \"open\" ") + form.FileName() +
                                 QStringLiteral("\rReason: ") + shell.ErrorText,
                             QStringLiteral(" "), prompt::MB_OK);
}
