#include "FrameResources.h"

#include "CommandIds.h"
#include "resources/Texts.h"

#include <QHash>
#include <QImage>
#include <QPixmap>

#include <algorithm>

namespace {

// The tables hold source texts; they are translated as the menu is built.
QString Translated(const char* pszSource)
{
    return CFrameResources::tr(pszSource);
}

MenuItemDef Item(const char* pszText, UINT nID)
{
    return {Translated(pszText), nID, {}};
}

MenuItemDef Item(const QString& strText, UINT nID)
{
    return {strText, nID, {}};
}

MenuItemDef Separator()
{
    return {};
}

MenuItemDef Popup(const char* pszText, std::vector<MenuItemDef> items)
{
    return {Translated(pszText), 0, std::move(items)};
}

// The program's title: not in the table, which is built once, but the application's name.
constexpr UINT IDS_APP_TITLE = 57344;

const QHash<UINT, const char*>& StringTable()
{
    static const QHash<UINT, const char*> table = {
        {57345, QT_TRANSLATE_NOOP("CFrameResources", "Ready")},
        {ID_FILE_NEW, QT_TRANSLATE_NOOP("CFrameResources", "Create a new document\nNew")},
        {ID_FILE_OPEN, QT_TRANSLATE_NOOP("CFrameResources", "Open an existing document\nOpen")},
        {ID_FILE_SAVE, QT_TRANSLATE_NOOP("CFrameResources", "Save the active document\nSave")},
        {ID_EDIT_COPY, QT_TRANSLATE_NOOP("CFrameResources",
                                         "Copy the selection and put it on the Clipboard\nCopy")},
        {ID_EDIT_CUT, QT_TRANSLATE_NOOP("CFrameResources",
                                        "Cut the selection and put it on the Clipboard\nCut")},
        {ID_EDIT_PASTE, QT_TRANSLATE_NOOP("CFrameResources", "Insert Clipboard contents\nPaste")},
        {ID_EDIT_UNDO, QT_TRANSLATE_NOOP("CFrameResources", "Undo the last action\nUndo")},
        {ID_APP_ABOUT,
         QT_TRANSLATE_NOOP("CFrameResources",
                           "Display program information, version number and copyright\nAbout")},
        {ID_APP_EXIT, QT_TRANSLATE_NOOP("CFrameResources",
                                        "Quit the application; prompts to save documents\nExit")},
        {ID_NEXT_PANE,
         QT_TRANSLATE_NOOP("CFrameResources", "Switch to the next window pane\nNext Pane")},
        {ID_PREV_PANE, QT_TRANSLATE_NOOP("CFrameResources",
                                         "Switch back to the previous window pane\nPrevious Pane")},
        {ID_VIEW_TOOLBAR,
         QT_TRANSLATE_NOOP("CFrameResources", "Show or hide the toolbar\nToggle ToolBar")},
        {ID_VIEW_STATUS_BAR,
         QT_TRANSLATE_NOOP("CFrameResources", "Show or hide the status bar\nToggle StatusBar")},
        {ID_INDICATOR_CAPS, QT_TRANSLATE_NOOP("CFrameResources", "CAP")},
        {ID_INDICATOR_NUM, QT_TRANSLATE_NOOP("CFrameResources", "NUM")},
        {ID_INDICATOR_SCRL, QT_TRANSLATE_NOOP("CFrameResources", "SCRL")},
        {IDR_PANE_OPTIONS, QT_TRANSLATE_NOOP("CFrameResources", "Options")},
        {IDR_PANE_PROPERTIES, QT_TRANSLATE_NOOP("CFrameResources", "Properties")},
        {ID_FILE_LOGIN, QT_TRANSLATE_NOOP("CFrameResources", "Log in to the FTP server\nLog In")},
        {ID_VIEW_REFRESH,
         QT_TRANSLATE_NOOP("CFrameResources", "List the files on the server again\nRefresh")},
        {ID_VIEW_HISTORY,
         QT_TRANSLATE_NOOP("CFrameResources",
                           "Show the backups run so far, newest first, with what each could not "
                           "back up\nBackup History")},
        {ID_FILE_VERSIONS,
         QT_TRANSLATE_NOOP("CFrameResources",
                           "List the earlier copies the server keeps of the selected file and "
                           "restore one\nVersions")},
        {ID_FILE_RESTORE_AS_OF,
         QT_TRANSLATE_NOOP("CFrameResources",
                           "Restore the selected server folder as it was at a date and time you "
                           "pick\nRestore As Of")},
        {ID_VIEW_DETAILS,
         QT_TRANSLATE_NOOP("CFrameResources",
                           "Show the server's files as a table of name, size and date\nDetails")},
        {ID_FILE_CHECK_SERVER,
         QT_TRANSLATE_NOOP("CFrameResources",
                           "Back up, checking every copy on the server and sending what is "
                           "missing or differs\nCheck Every Server Copy")},
    };
    return table;
}

// Texts of the commands that have no menu item.
const QHash<UINT, const char*>& OtherCommandTexts()
{
    static const QHash<UINT, const char*> texts = {
        {ID_FILE_NEW, QT_TRANSLATE_NOOP("CFrameResources", "&New")},
        {ID_FILE_OPEN, QT_TRANSLATE_NOOP("CFrameResources", "&Open...")},
        {ID_FILE_SAVE, QT_TRANSLATE_NOOP("CFrameResources", "&Save")},
        {ID_FILE_PRINT, QT_TRANSLATE_NOOP("CFrameResources", "&Print...")},
        {ID_FILE_PRINT_PREVIEW, QT_TRANSLATE_NOOP("CFrameResources", "Print Pre&view")},
        {ID_NEXT_PANE, QT_TRANSLATE_NOOP("CFrameResources", "Next Pane")},
        {ID_PREV_PANE, QT_TRANSLATE_NOOP("CFrameResources", "Previous Pane")},
    };
    return texts;
}

void CollectMenuTexts(const std::vector<MenuItemDef>& items, QHash<UINT, QString>& texts)
{
    for (const MenuItemDef& item : items) {
        if (item.IsPopup())
            CollectMenuTexts(item.items, texts);
        else if (item.nID != 0 && !texts.contains(item.nID))
            texts.insert(item.nID, item.strText);
    }
}

void CollectMenuCommands(const std::vector<MenuItemDef>& items, std::vector<UINT>& ids)
{
    for (const MenuItemDef& item : items) {
        if (item.IsPopup())
            CollectMenuCommands(item.items, ids);
        else if (item.nID != 0)
            ids.push_back(item.nID);
    }
}

// The picture's place in the toolbar strip: the buttons' order, separators left out.
int ToolBarImage(UINT nID)
{
    int nImage = 0;
    for (UINT nButton : CFrameResources::ToolBar()) {
        if (nButton == 0)
            continue;
        if (nButton == nID)
            return nImage;
        ++nImage;
    }
    return -1;
}

QPixmap Cut(const QString& strStrip, int nImage, int cx, int cy)
{
    static QHash<QString, QImage> cache;
    auto it = cache.find(strStrip);
    if (it == cache.end())
        it = cache.insert(strStrip, QImage(strStrip));
    if (it->isNull() || (nImage + 1) * cx > it->width())
        return {};
    return QPixmap::fromImage(it->copy(nImage * cx, 0, cx, cy));
}

} // namespace

// Built once, after the application object has its name and its translation.
const std::vector<MenuItemDef>& CFrameResources::Menu()
{
    static const std::vector<MenuItemDef> menu = {
        Popup(QT_TR_NOOP("&File"), {Item(Texts::LogInMenuItem(), ID_FILE_LOGIN), Separator(),
                                    Item(QT_TR_NOOP("&Backup...\tCtrl+B"), ID_FILE_BACKUP),
                                    Item(QT_TR_NOOP("&Restore...\tCtrl+R"), ID_FILE_RESTORE),
                                    Item(QT_TR_NOOP("&Versions..."), ID_FILE_VERSIONS),
                                    Item(QT_TR_NOOP("Restore &As Of..."), ID_FILE_RESTORE_AS_OF),
                                    Item(Texts::CheckServerMenuItem(), ID_FILE_CHECK_SERVER),
                                    Separator(), Item(QT_TR_NOOP("Recent File"), ID_FILE_MRU_FILE1),
                                    Separator(), Item(QT_TR_NOOP("E&xit"), ID_APP_EXIT)}),
        Popup(QT_TR_NOOP("&Edit"), {Item(QT_TR_NOOP("&Undo\tCtrl+Z"), ID_EDIT_UNDO), Separator(),
                                    Item(QT_TR_NOOP("Cu&t\tCtrl+X"), ID_EDIT_CUT),
                                    Item(QT_TR_NOOP("&Copy\tCtrl+C"), ID_EDIT_COPY),
                                    Item(QT_TR_NOOP("&Paste\tCtrl+V"), ID_EDIT_PASTE)}),
        Popup(QT_TR_NOOP("&View"),
              {Popup(QT_TR_NOOP("&Toolbars"),
                     {Item(QT_TR_NOOP("&Toolbar"), ID_VIEW_TOOLBAR), Separator(),
                      Item(QT_TR_NOOP("&Customize..."), ID_VIEW_CUSTOMIZE)}),
               Item(QT_TR_NOOP("&Status Bar"), ID_VIEW_STATUS_BAR),
               Item(Texts::DetailsMenuItem(), ID_VIEW_DETAILS), Separator(),
               Item(Texts::RefreshMenuItem(), ID_VIEW_REFRESH),
               Item(Texts::HistoryMenuItem(), ID_VIEW_HISTORY)}),
        Popup(QT_TR_NOOP("&Help"), {Item(QT_TR_NOOP("Help &Content"), ID_HELP_CONTENT),
                                    Item(QT_TR_NOOP("Online &Support"), ID_HELP_ONLINE),
                                    Separator(), Item(Texts::AboutMenuItem(), ID_APP_ABOUT)}),
    };
    return menu;
}

const std::vector<UINT>& CFrameResources::ToolBar()
{
    static const std::vector<UINT> buttons = {ID_FILE_BACKUP,
                                              ID_FILE_RESTORE,
                                              0,
                                              ID_EDIT_CUT,
                                              ID_EDIT_COPY,
                                              ID_EDIT_PASTE,
                                              0,
                                              ID_FILE_PRINT,
                                              0,
                                              ID_APP_ABOUT};
    return buttons;
}

const AcceleratorTable& CFrameResources::Accelerators()
{
    static const AcceleratorTable table = {
        {QKeySequence(Qt::CTRL | Qt::Key_N), ID_FILE_NEW},
        {QKeySequence(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN},
        {QKeySequence(Qt::CTRL | Qt::Key_S), ID_FILE_SAVE},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), ID_EDIT_UNDO},
        {QKeySequence(Qt::ALT | Qt::Key_Backspace), ID_EDIT_UNDO},
        {QKeySequence(Qt::CTRL | Qt::Key_X), ID_EDIT_CUT},
        {QKeySequence(Qt::SHIFT | Qt::Key_Delete), ID_EDIT_CUT},
        {QKeySequence(Qt::CTRL | Qt::Key_C), ID_EDIT_COPY},
        {QKeySequence(Qt::CTRL | Qt::Key_Insert), ID_EDIT_COPY},
        {QKeySequence(Qt::CTRL | Qt::Key_V), ID_EDIT_PASTE},
        {QKeySequence(Qt::SHIFT | Qt::Key_Insert), ID_EDIT_PASTE},
        {QKeySequence(Qt::CTRL | Qt::Key_B), ID_FILE_BACKUP},
        {QKeySequence(Qt::CTRL | Qt::Key_R), ID_FILE_RESTORE},
        {QKeySequence(Qt::Key_F5), ID_VIEW_REFRESH},
        {QKeySequence(Qt::Key_F6), ID_NEXT_PANE},
        {QKeySequence(Qt::SHIFT | Qt::Key_F6), ID_PREV_PANE},
    };
    return table;
}

const std::vector<UINT>& CFrameResources::HiddenCommands()
{
    static const std::vector<UINT> ids = {ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW};
    return ids;
}

const std::vector<UINT>& CFrameResources::Commands()
{
    static const std::vector<UINT> ids = [] {
        std::vector<UINT> all;
        CollectMenuCommands(Menu(), all);
        all.insert(all.end(), ToolBar().begin(), ToolBar().end());
        for (const auto& accel : Accelerators())
            all.push_back(accel.second);
        all.insert(all.end(), HiddenCommands().begin(), HiddenCommands().end());
        std::vector<UINT> unique;
        for (UINT nID : all) {
            if (nID != 0 && std::find(unique.begin(), unique.end(), nID) == unique.end())
                unique.push_back(nID);
        }
        return unique;
    }();
    return ids;
}

QString CFrameResources::String(UINT nID)
{
    if (IsRecentFileCommand(nID))
        return Translated(QT_TR_NOOP("Open this document"));
    if (nID == IDS_APP_TITLE)
        return Texts::AppName();
    const char* pszText = StringTable().value(nID);
    return pszText ? Translated(pszText) : QString();
}

QString CFrameResources::Prompt(UINT nID)
{
    return String(nID).section(QLatin1Char('\n'), 0, 0);
}

QString CFrameResources::ToolTip(UINT nID)
{
    const QString strString = String(nID);
    const int nNewline = strString.indexOf(QLatin1Char('\n'));
    if (nNewline >= 0)
        return strString.mid(nNewline + 1);
    return CommandName(nID);
}

QString CFrameResources::CommandText(UINT nID)
{
    static const QHash<UINT, QString> texts = [] {
        QHash<UINT, QString> all;
        CollectMenuTexts(Menu(), all);
        const QHash<UINT, const char*>& others = OtherCommandTexts();
        for (auto it = others.begin(); it != others.end(); ++it) {
            if (!all.contains(it.key()))
                all.insert(it.key(), Translated(it.value()));
        }
        return all;
    }();
    return texts.value(nID);
}

QString CFrameResources::CommandName(UINT nID)
{
    return StripText(CommandText(nID));
}

QString CFrameResources::StripText(const QString& strText)
{
    QString strName = strText.section(QLatin1Char('\t'), 0, 0);
    // "&&" stands for one "&"; a single "&" only marks the mnemonic.
    QString strOut;
    for (int i = 0; i < strName.size(); ++i) {
        if (strName[i] == QLatin1Char('&')) {
            if (i + 1 < strName.size() && strName[i + 1] == QLatin1Char('&'))
                strOut += strName[++i];
            continue;
        }
        strOut += strName[i];
    }
    if (strOut.endsWith(QLatin1String("...")))
        strOut.chop(3);
    return strOut;
}

QIcon CFrameResources::ToolBarIcon(UINT nID)
{
    const int nImage = ToolBarImage(nID);
    if (nImage < 0)
        return {};
    QIcon icon;
    const QPixmap small =
        Cut(QStringLiteral(":/shell/toolbar.png"), nImage, TOOLBAR_IMAGE_CX, TOOLBAR_IMAGE_CY);
    const QPixmap large = Cut(QStringLiteral(":/shell/toolbar-large.png"), nImage,
                              2 * TOOLBAR_IMAGE_CX, 2 * TOOLBAR_IMAGE_CY);
    if (!small.isNull())
        icon.addPixmap(small);
    if (!large.isNull())
        icon.addPixmap(large);
    return icon;
}

QIcon CFrameResources::PaneIcon(UINT nPaneID)
{
    if (nPaneID != IDR_PANE_OPTIONS && nPaneID != IDR_PANE_PROPERTIES)
        return {};
    const QPixmap image =
        Cut(QStringLiteral(":/shell/panes.png"), nPaneID == IDR_PANE_OPTIONS ? 0 : 1, 16, 16);
    return image.isNull() ? QIcon() : QIcon(image);
}

QIcon CFrameResources::AppIcon()
{
    QIcon icon;
    for (int nSize : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/shell/mossvale-%1.png").arg(nSize), QSize(nSize, nSize));
    return icon;
}
