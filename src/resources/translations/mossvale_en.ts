<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>CBackupCommand</name>
    <message>
        <source>文件夹无法读取</source>
        <translation>the folder cannot be read</translation>
    </message>
    <message>
        <source>已不存在</source>
        <translation>no longer there</translation>
    </message>
    <message>
        <source>将本地文件备份到 FTP、FTPS 或 SFTP 服务器。不带选项时打开窗口。</source>
        <translation>Backs up local files to an FTP, FTPS or SFTP server. Without options it opens its window.</translation>
    </message>
    <message>
        <source>用记住的账户备份已保存的计划，不打开窗口。</source>
        <translation>Back up the saved plan with the remembered account, without a window.</translation>
    </message>
    <message>
        <source>与 --backup 一起：列出将要发送的文件，不发送。</source>
        <translation>With --backup: list the files that would be sent, and send nothing.</translation>
    </message>
    <message>
        <source>与 --backup 一起：检查服务器上的每个副本，补发缺少或不同的文件。</source>
        <translation>With --backup: check every copy on the server, and send what is missing there or differs.</translation>
    </message>
    <message>
        <source>--dry-run 和 --check 只能与 --backup 一起使用。</source>
        <translation>--dry-run and --check work only with --backup.</translation>
    </message>
    <message>
        <source>没有要备份的内容：请打开 Mossvale，勾选要备份的文件和文件夹。</source>
        <translation>Nothing to back up: open Mossvale and tick the files and folders to back up.</translation>
    </message>
    <message>
        <source>没有记住的账户：请打开 Mossvale 并登录一次。</source>
        <translation>No remembered account: open Mossvale and log in once.</translation>
    </message>
    <message>
        <source>此账户的另一个备份正在运行。</source>
        <translation>Another backup of this account is running.</translation>
    </message>
    <message>
        <source>没有记住的密码：请打开 Mossvale 登录一次，让它记住密码。</source>
        <translation>No remembered password: open Mossvale and log in once, letting it remember the password.</translation>
    </message>
    <message>
        <source>无法访问密钥环：请解锁密钥环，或打开 Mossvale 登录一次。</source>
        <translation>The keyring cannot be reached: unlock it, or open Mossvale and log in once.</translation>
    </message>
    <message>
        <source>请打开 Mossvale 并登录一次，以信任此服务器。</source>
        <translation>Open Mossvale and log in once to trust this server.</translation>
    </message>
    <message>
        <source>请打开 Mossvale 并登录一次，决定是否不加密登录此服务器。</source>
        <translation>Open Mossvale and log in once to decide whether to log in to this server without encryption.</translation>
    </message>
    <message>
        <source>请打开 Mossvale 重新登录。</source>
        <translation>Open Mossvale and log in again.</translation>
    </message>
    <message>
        <source>没有发送任何文件。</source>
        <translation>Nothing was sent.</translation>
    </message>
    <message>
        <source>将发送 %1（%2）</source>
        <translation>would send %1 (%2)</translation>
    </message>
    <message>
        <source>已发送 %1</source>
        <translation>sent %1</translation>
    </message>
    <message>
        <source>未改变 %1</source>
        <translation>unchanged %1</translation>
    </message>
    <message>
        <source>不存在 %1</source>
        <translation>missing %1</translation>
    </message>
    <message>
        <source>跳过 %1（%2）</source>
        <translation>skipped %1 (%2)</translation>
    </message>
    <message>
        <source>未备份 %1（%2）</source>
        <translation>not backed up %1 (%2)</translation>
    </message>
    <message>
        <source>失败 %1（%2）</source>
        <translation>failed %1 (%2)</translation>
    </message>
    <message>
        <source>未发送 %1（%2）</source>
        <translation>not sent %1 (%2)</translation>
    </message>
    <message>
        <source>正在读取文件夹……</source>
        <translation>Reading the folders ...</translation>
    </message>
    <message numerus="yes">
        <source>剩余 %n 个文件</source>
        <translation>
            <numerusform>%n file left</numerusform>
            <numerusform>%n files left</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>将发送 %n 个文件</source>
        <translation>
            <numerusform>%n file would be sent</numerusform>
            <numerusform>%n files would be sent</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>已发送 %n 个文件</source>
        <translation>
            <numerusform>%n file sent</numerusform>
            <numerusform>%n files sent</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>未改变 %n 个</source>
        <translation>
            <numerusform>%n unchanged</numerusform>
            <numerusform>%n unchanged</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>失败 %n 个</source>
        <translation>
            <numerusform>%n failed</numerusform>
            <numerusform>%n failed</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>跳过 %n 个</source>
        <translation>
            <numerusform>%n skipped</numerusform>
            <numerusform>%n skipped</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>不存在 %n 个</source>
        <translation>
            <numerusform>%n missing</numerusform>
            <numerusform>%n missing</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>与 --backup 一起：由定时器启动，结束时以桌面通知告知结果。</source>
        <translation>With --backup: started by the timer; tells the desktop how the run ended.</translation>
    </message>
    <message>
        <source>已发送 %1（%2）</source>
        <translation>sent %1 (%2)</translation>
    </message>
</context>
<context>
    <name>CCustomizeOptionsPage</name>
    <message>
        <source>服务器上的早先版本</source>
        <translation>Earlier versions on the server</translation>
    </message>
    <message>
        <source>备份替换服务器上的文件时，旧副本移入 /.mossvale-versions</source>
        <translation>When a backup replaces a file on the server, the old copy moves into /.mossvale-versions</translation>
    </message>
    <message>
        <source> 天</source>
        <translation> days</translation>
    </message>
    <message>
        <source>不保留</source>
        <translation>None</translation>
    </message>
    <message>
        <source>版本保留：</source>
        <translation>Versions kept:</translation>
    </message>
    <message>
        <source>每个文件的版本数：</source>
        <translation>Versions per file:</translation>
    </message>
</context>
<context>
    <name>CFolderTreeCtrl</name>
    <message>
        <source>正在读取…</source>
        <translation>Reading…</translation>
    </message>
</context>
<context>
    <name>CFrameResources</name>
    <message>
        <source>Ready</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>Create a new document
New</source>
        <translation>Create a new document
New</translation>
    </message>
    <message>
        <source>Open an existing document
Open</source>
        <translation>Open an existing document
Open</translation>
    </message>
    <message>
        <source>Save the active document
Save</source>
        <translation>Save the active document
Save</translation>
    </message>
    <message>
        <source>Copy the selection and put it on the Clipboard
Copy</source>
        <translation>Copy the selection and put it on the Clipboard
Copy</translation>
    </message>
    <message>
        <source>Cut the selection and put it on the Clipboard
Cut</source>
        <translation>Cut the selection and put it on the Clipboard
Cut</translation>
    </message>
    <message>
        <source>Insert Clipboard contents
Paste</source>
        <translation>Insert Clipboard contents
Paste</translation>
    </message>
    <message>
        <source>Undo the last action
Undo</source>
        <translation>Undo the last action
Undo</translation>
    </message>
    <message>
        <source>Display program information, version number and copyright
About</source>
        <translation>Display program information, version number and copyright
About</translation>
    </message>
    <message>
        <source>Quit the application; prompts to save documents
Exit</source>
        <translation>Quit the application; prompts to save documents
Exit</translation>
    </message>
    <message>
        <source>Switch to the next window pane
Next Pane</source>
        <translation>Switch to the next window pane
Next Pane</translation>
    </message>
    <message>
        <source>Switch back to the previous window pane
Previous Pane</source>
        <translation>Switch back to the previous window pane
Previous Pane</translation>
    </message>
    <message>
        <source>Show or hide the toolbar
Toggle ToolBar</source>
        <translation>Show or hide the toolbar
Toggle ToolBar</translation>
    </message>
    <message>
        <source>Show or hide the status bar
Toggle StatusBar</source>
        <translation>Show or hide the status bar
Toggle StatusBar</translation>
    </message>
    <message>
        <source>CAP</source>
        <translation>CAP</translation>
    </message>
    <message>
        <source>NUM</source>
        <translation>NUM</translation>
    </message>
    <message>
        <source>SCRL</source>
        <translation>SCRL</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>Properties</source>
        <translation>Properties</translation>
    </message>
    <message>
        <source>&amp;New</source>
        <translation>&amp;New</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation>&amp;Open...</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>&amp;Print...</source>
        <translation>&amp;Print...</translation>
    </message>
    <message>
        <source>Print Pre&amp;view</source>
        <translation>Print Pre&amp;view</translation>
    </message>
    <message>
        <source>Next Pane</source>
        <translation>Next Pane</translation>
    </message>
    <message>
        <source>Previous Pane</source>
        <translation>Previous Pane</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Backup...	Ctrl+B</source>
        <translation>&amp;Backup...	Ctrl+B</translation>
    </message>
    <message>
        <source>&amp;Restore...	Ctrl+R</source>
        <translation>&amp;Restore...	Ctrl+R</translation>
    </message>
    <message>
        <source>Recent File</source>
        <translation>Recent File</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>&amp;Undo	Ctrl+Z</source>
        <translation>&amp;Undo	Ctrl+Z</translation>
    </message>
    <message>
        <source>Cu&amp;t	Ctrl+X</source>
        <translation>Cu&amp;t	Ctrl+X</translation>
    </message>
    <message>
        <source>&amp;Copy	Ctrl+C</source>
        <translation>&amp;Copy	Ctrl+C</translation>
    </message>
    <message>
        <source>&amp;Paste	Ctrl+V</source>
        <translation>&amp;Paste	Ctrl+V</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>&amp;Toolbars</source>
        <translation>&amp;Toolbars</translation>
    </message>
    <message>
        <source>&amp;Toolbar</source>
        <translation>&amp;Toolbar</translation>
    </message>
    <message>
        <source>&amp;Customize...</source>
        <translation>&amp;Customize...</translation>
    </message>
    <message>
        <source>&amp;Status Bar</source>
        <translation>&amp;Status Bar</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>Help &amp;Content</source>
        <translation>Help &amp;Content</translation>
    </message>
    <message>
        <source>Online &amp;Support</source>
        <translation>Online &amp;Support</translation>
    </message>
    <message>
        <source>Open this document</source>
        <translation>Open this document</translation>
    </message>
    <message>
        <source>Log in to the FTP server
Log In</source>
        <translation>Log in to the FTP server
Log In</translation>
    </message>
    <message>
        <source>List the files on the server again
Refresh</source>
        <translation>List the files on the server again
Refresh</translation>
    </message>
    <message>
        <source>Show the backups run so far, newest first, with what each could not back up
Backup History</source>
        <translation>Show the backups run so far, newest first, with what each could not back up
Backup History</translation>
    </message>
    <message>
        <source>List the earlier copies the server keeps of the selected file and restore one
Versions</source>
        <translation>List the earlier copies the server keeps of the selected file and restore one
Versions</translation>
    </message>
    <message>
        <source>Restore the selected server folder as it was at a date and time you pick
Restore As Of</source>
        <translation>Restore the selected server folder as it was at a date and time you pick
Restore As Of</translation>
    </message>
    <message>
        <source>&amp;Versions...</source>
        <translation>&amp;Versions...</translation>
    </message>
    <message>
        <source>Restore &amp;As Of...</source>
        <translation>Restore &amp;As Of...</translation>
    </message>
    <message>
        <source>Show the server&apos;s files as a table of name, size and date
Details</source>
        <translation>Show the server&apos;s files as a table of name, size and date
Details</translation>
    </message>
    <message>
        <source>Back up, checking every copy on the server and sending what is missing or differs
Check Every Server Copy</source>
        <translation>Back up, checking every copy on the server and sending what is missing or differs
Check Every Server Copy</translation>
    </message>
</context>
<context>
    <name>CHelpFile</name>
    <message>
        <source>找不到帮助文件 %1。</source>
        <translation>The help file %1 cannot be found.</translation>
    </message>
    <message>
        <source>无法打开帮助文件 %1。</source>
        <translation>The help file %1 could not be opened.</translation>
    </message>
    <message>
        <source>账户：%1</source>
        <translation>Account: %1</translation>
    </message>
    <message>
        <source>设置和备份计划：%1</source>
        <translation>Settings and backup plan: %1</translation>
    </message>
    <message>
        <source>备份历史：%1</source>
        <translation>Backup history: %1</translation>
    </message>
</context>
<context>
    <name>CHistoryDlg</name>
    <message numerus="yes">
        <source>计划中有 %n 个文件已在本机删除；服务器上的副本保留</source>
        <translation>
            <numerusform>%n file of the plan was deleted here; its copy stays on the server</numerusform>
            <numerusform>%n files of the plan were deleted here; their copies stay on the server</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>CMossvaleView</name>
    <message>
        <source>未能恢复 %1</source>
        <translation>%1 not restored</translation>
    </message>
</context>
<context>
    <name>COptionsPane</name>
    <message>
        <source>服务器为此账户提供的空间；空间表按它计算</source>
        <translation>The space the server gives this account; the meter measures against it</translation>
    </message>
    <message>
        <source>已勾选：</source>
        <translation>Ticked:</translation>
    </message>
    <message>
        <source>服务器文件夹：</source>
        <translation>Server folder:</translation>
    </message>
    <message>
        <source>同时发送：</source>
        <translation>Sent at once:</translation>
    </message>
    <message>
        <source>账户空间：</source>
        <translation>Account space:</translation>
    </message>
    <message>
        <source>无</source>
        <translation>Nothing</translation>
    </message>
    <message>
        <source>排除规则</source>
        <translation>Patterns Left Out</translation>
    </message>
    <message>
        <source>更改...</source>
        <translation>Change...</translation>
    </message>
    <message>
        <source>编辑...</source>
        <translation>Edit...</translation>
    </message>
    <message>
        <source>自动备份：</source>
        <translation>Automatic backups:</translation>
    </message>
    <message>
        <source>排除规则：</source>
        <translation>Left out:</translation>
    </message>
    <message numerus="yes">
        <source>%n 个文件夹</source>
        <translation>
            <numerusform>%n folder</numerusform>
            <numerusform>%n folders</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 个文件</source>
        <translation>
            <numerusform>%n file</numerusform>
            <numerusform>%n files</numerusform>
        </translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>没有</source>
        <translation>None</translation>
    </message>
    <message>
        <source>名称符合规则的文件和文件夹不备份，每行一条，如 *.tmp。</source>
        <translation>Files and folders whose names match a pattern are not backed up; one pattern a line, such as *.tmp.</translation>
    </message>
    <message>
        <source>以 / 结尾的只用于文件夹，如 node_modules/</source>
        <translation>A pattern ending in / is for folders only, such as node_modules/</translation>
    </message>
</context>
<context>
    <name>CPropertiesPane</name>
    <message>
        <source>已发送</source>
        <translation>Sent</translation>
    </message>
    <message>
        <source>未改变，服务器上已有</source>
        <translation>Unchanged, already on the server</translation>
    </message>
    <message>
        <source>在文件夹树或服务器列表中选择一项，这里就显示它的属性。</source>
        <translation>Choose an item in the folder tree or in the server&apos;s list to see its properties here.</translation>
    </message>
    <message>
        <source>名称：</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>位置：</source>
        <translation>Location:</translation>
    </message>
    <message>
        <source>大小：</source>
        <translation>Size:</translation>
    </message>
    <message>
        <source>修改时间：</source>
        <translation>Modified:</translation>
    </message>
    <message>
        <source>备份计划：</source>
        <translation>Backup plan:</translation>
    </message>
    <message>
        <source>上次发送：</source>
        <translation>Last sent:</translation>
    </message>
    <message>
        <source>上次备份结果：</source>
        <translation>Last backup:</translation>
    </message>
    <message>
        <source>正在读取...</source>
        <translation>Reading...</translation>
    </message>
    <message>
        <source>已勾选</source>
        <translation>Ticked</translation>
    </message>
    <message>
        <source>部分勾选</source>
        <translation>Partly ticked</translation>
    </message>
    <message>
        <source>未勾选</source>
        <translation>Not ticked</translation>
    </message>
    <message>
        <source>从未</source>
        <translation>Never</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>不存在</source>
        <translation>Not there</translation>
    </message>
    <message>
        <source>文件夹</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>服务器上的 /</source>
        <translation>/ on the server</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
</context>
<context>
    <name>CReportDlg</name>
    <message>
        <source>文件</source>
        <translation>Files</translation>
    </message>
    <message>
        <source>复制列表(&amp;C)</source>
        <translation>&amp;Copy list</translation>
    </message>
</context>
<context>
    <name>CRightView</name>
    <message>
        <source>未能删除 %1</source>
        <translation>%1 not deleted</translation>
    </message>
    <message>
        <source>已删除 %1</source>
        <translation>%1 deleted</translation>
    </message>
    <message>
        <source>版本…</source>
        <translation>Versions…</translation>
    </message>
    <message>
        <source>恢复到某一时刻…</source>
        <translation>Restore As Of…</translation>
    </message>
    <message>
        <source>请先在服务器列表中选择一个文件。</source>
        <translation>Select a file in the server list first.</translation>
    </message>
    <message>
        <source>服务器上的文件夹未能完整列出，恢复的可能不全。</source>
        <translation>The folder on the server could not be listed completely; the restore may be incomplete.</translation>
    </message>
    <message numerus="yes">
        <source>“%1”中有 %n 个同名文件将被替换。</source>
        <translation>
            <numerusform>%n file of the same name in “%1” will be replaced.</numerusform>
            <numerusform>%n files of the same name in “%1” will be replaced.</numerusform>
        </translation>
    </message>
    <message>
        <source>继续吗？</source>
        <translation>Continue?</translation>
    </message>
    <message numerus="yes">
        <source>已恢复 %n 个文件。</source>
        <translation>
            <numerusform>%n file restored.</numerusform>
            <numerusform>%n files restored.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 个文件未能恢复：</source>
        <translation>
            <numerusform>%n file could not be restored: </numerusform>
            <numerusform>%n files could not be restored: </numerusform>
        </translation>
    </message>
</context>
<context>
    <name>CVersionsDlg</name>
    <message>
        <source>“%1”的早先版本</source>
        <translation>Earlier versions of “%1”</translation>
    </message>
    <message>
        <source>日期</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>正在列出…</source>
        <translation>Listing…</translation>
    </message>
    <message>
        <source>恢复到…</source>
        <translation>Restore to…</translation>
    </message>
    <message>
        <source>恢复到文件夹</source>
        <translation>Restore into folder</translation>
    </message>
    <message>
        <source>无法完整列出服务器上的版本。</source>
        <translation>The versions on the server could not be listed completely.</translation>
    </message>
    <message>
        <source>服务器没有保留此文件的早先版本。</source>
        <translation>The server keeps no earlier versions of this file.</translation>
    </message>
    <message numerus="yes">
        <source>%n 个早先版本</source>
        <translation>
            <numerusform>%n earlier version</numerusform>
            <numerusform>%n earlier versions</numerusform>
        </translation>
    </message>
    <message>
        <source>正在恢复…</source>
        <translation>Restoring…</translation>
    </message>
    <message>
        <source>已恢复为“%1”。</source>
        <translation>Restored as “%1”.</translation>
    </message>
    <message>
        <source>恢复失败。</source>
        <translation>The restore failed.</translation>
    </message>
    <message>
        <source>恢复到某一时刻</source>
        <translation>Restore As Of</translation>
    </message>
    <message>
        <source>将“%1”中的文件恢复为此时刻的样子（每个文件取不晚于此时刻的最新副本）：</source>
        <translation>Restore the files in “%1” as they were at this time (for each file, the newest copy not later than it):</translation>
    </message>
</context>
<context>
    <name>Texts</name>
    <message>
        <source>About %1</source>
        <translation>About %1</translation>
    </message>
    <message>
        <source>&amp;About %1...</source>
        <translation>&amp;About %1...</translation>
    </message>
    <message>
        <source>%1 Version %2</source>
        <translation>%1 Version %2</translation>
    </message>
    <message>
        <source>Cannot open the file %1.</source>
        <translation>Cannot open the file %1.</translation>
    </message>
    <message>
        <source>BACKUP</source>
        <translation>BACKUP</translation>
    </message>
    <message>
        <source>RESTORE</source>
        <translation>RESTORE</translation>
    </message>
    <message>
        <source>选择路径</source>
        <translation>Choose a folder</translation>
    </message>
    <message>
        <source>以下文件未能备份：</source>
        <translation>These files could not be backed up:</translation>
    </message>
    <message>
        <source>无法恢复文件：</source>
        <translation>Could not restore the file:</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Please wait ...</source>
        <translation>Please wait ...</translation>
    </message>
    <message>
        <source>Delete File</source>
        <translation>Delete File</translation>
    </message>
    <message>
        <source>Server files</source>
        <translation>Server files</translation>
    </message>
    <message>
        <source>Space used</source>
        <translation>Space used</translation>
    </message>
    <message>
        <source>unchecked</source>
        <translation>unchecked</translation>
    </message>
    <message>
        <source>partly checked</source>
        <translation>partly checked</translation>
    </message>
    <message>
        <source>checked</source>
        <translation>checked</translation>
    </message>
    <message>
        <source>FTP Server</source>
        <translation>FTP Server</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Username</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Please login the server.</source>
        <translation>Please log in to the server.</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>Login</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>wait ......</source>
        <translation>wait ......</translation>
    </message>
    <message>
        <source>连接失败</source>
        <translation>Connection failed</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>

Options</source>
        <translation>

Options</translation>
    </message>
    <message>
        <source>现在执行OnButtonBackup</source>
        <translation>Now running OnButtonBackup</translation>
    </message>
    <message>
        <source>现在执行OnButtonRestore</source>
        <translation>Now running OnButtonRestore</translation>
    </message>
    <message>
        <source>Float</source>
        <translation>Float</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Separator</source>
        <translation>Separator</translation>
    </message>
    <message>
        <source>New Menu</source>
        <translation>New Menu</translation>
    </message>
    <message>
        <source>Customize</source>
        <translation>Customize</translation>
    </message>
    <message>
        <source>All Commands</source>
        <translation>All Commands</translation>
    </message>
    <message>
        <source>Built-in Menus</source>
        <translation>Built-in Menus</translation>
    </message>
    <message>
        <source>Commands</source>
        <translation>Commands</translation>
    </message>
    <message>
        <source>To add a command to the toolbar, select a category and a command, then choose Add. It goes after the selected toolbar button.</source>
        <translation>To add a command to the toolbar, select a category and a command, then choose Add. It goes after the selected toolbar button.</translation>
    </message>
    <message>
        <source>&amp;Add &gt;</source>
        <translation>&amp;Add &gt;</translation>
    </message>
    <message>
        <source>&lt; &amp;Remove</source>
        <translation>&lt; &amp;Remove</translation>
    </message>
    <message>
        <source>Re&amp;set Toolbar</source>
        <translation>Re&amp;set Toolbar</translation>
    </message>
    <message>
        <source>Cate&amp;gories:</source>
        <translation>Cate&amp;gories:</translation>
    </message>
    <message>
        <source>Comman&amp;ds:</source>
        <translation>Comman&amp;ds:</translation>
    </message>
    <message>
        <source>Toolbar &amp;buttons:</source>
        <translation>Toolbar &amp;buttons:</translation>
    </message>
    <message>
        <source>――――</source>
        <translation>――――</translation>
    </message>
    <message>
        <source>Description: %1</source>
        <translation>Description: %1</translation>
    </message>
    <message>
        <source>Keyboard</source>
        <translation>Keyboard</translation>
    </message>
    <message>
        <source>&amp;Assign</source>
        <translation>&amp;Assign</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Remove</translation>
    </message>
    <message>
        <source>Reset A&amp;ll</source>
        <translation>Reset A&amp;ll</translation>
    </message>
    <message>
        <source>Cate&amp;gory:</source>
        <translation>Cate&amp;gory:</translation>
    </message>
    <message>
        <source>C&amp;urrent Keys:</source>
        <translation>C&amp;urrent Keys:</translation>
    </message>
    <message>
        <source>&amp;Press New Shortcut Key:</source>
        <translation>&amp;Press New Shortcut Key:</translation>
    </message>
    <message>
        <source>Currently assigned to: %1</source>
        <translation>Currently assigned to: %1</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>Personalized Menus and Toolbars</source>
        <translation>Personalized Menus and Toolbars</translation>
    </message>
    <message>
        <source>Always show f&amp;ull menus</source>
        <translation>Always show f&amp;ull menus</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Other</translation>
    </message>
    <message>
        <source>&amp;Large icons</source>
        <translation>&amp;Large icons</translation>
    </message>
    <message>
        <source>Show Screen&amp;Tips on toolbars</source>
        <translation>Show Screen&amp;Tips on toolbars</translation>
    </message>
    <message>
        <source>登录被拒绝</source>
        <translation>login refused</translation>
    </message>
    <message>
        <source>无法连接服务器</source>
        <translation>cannot reach the server</translation>
    </message>
    <message>
        <source>服务器拒绝</source>
        <translation>refused by the server</translation>
    </message>
    <message>
        <source>本地文件无法读取</source>
        <translation>the local file cannot be read</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>磁盘已满或超出配额</source>
        <translation>disk full or over quota</translation>
    </message>
    <message>
        <source>连接中断</source>
        <translation>connection broken</translation>
    </message>
    <message>
        <source>大小校验失败</source>
        <translation>size check failed</translation>
    </message>
    <message>
        <source>文件在读取时被修改</source>
        <translation>the file changed while it was read</translation>
    </message>
    <message>
        <source>本地文件夹无法写入</source>
        <translation>the local folder cannot be written</translation>
    </message>
    <message>
        <source>另一个选中的文件同名</source>
        <translation>another ticked file has the same name</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1，已备份的是 %2</source>
        <translation>%1; %2 was backed up</translation>
    </message>
    <message>
        <source>无法删除文件：</source>
        <translation>Could not delete the file:</translation>
    </message>
    <message>
        <source>%1服务器未接上</source>
        <translation>%1: not connected to the server</translation>
    </message>
    <message>
        <source>目录为空，没有多余的内容</source>
        <translation>The folder is empty; there is nothing else in it.</translation>
    </message>
    <message>
        <source>服务器文件列表不完整</source>
        <translation>The server&apos;s file list is incomplete</translation>
    </message>
    <message>
        <source>无法读取服务器文件列表</source>
        <translation>The server&apos;s file list could not be read</translation>
    </message>
    <message numerus="yes">
        <source>%n 个文件大小未知</source>
        <translation>
            <numerusform>%n file of unknown size</numerusform>
            <numerusform>%n files of unknown size</numerusform>
        </translation>
    </message>
    <message>
        <source>服务器不提供加密连接</source>
        <translation>the server offers no encrypted connection</translation>
    </message>
    <message>
        <source>服务器证书不受信任</source>
        <translation>the server certificate is not trusted</translation>
    </message>
    <message>
        <source>服务器证书已改变，可能有人在拦截连接</source>
        <translation>the server certificate has changed; someone may be intercepting the connection</translation>
    </message>
    <message>
        <source>Transfer in progress</source>
        <translation>Transfer in progress</translation>
    </message>
    <message>
        <source>Progress of the file</source>
        <translation>Progress of the file</translation>
    </message>
    <message>
        <source>请先登录服务器（File &gt; Log In...）。</source>
        <translation>Please log in to the server first (File &gt; Log In...).</translation>
    </message>
    <message numerus="yes">
        <source>已备份 %n 个文件</source>
        <translation>
            <numerusform>%n file backed up</numerusform>
            <numerusform>%n files backed up</numerusform>
        </translation>
    </message>
    <message>
        <source>已恢复 %1</source>
        <translation>%1 restored</translation>
    </message>
    <message>
        <source>确定要删除服务器上的 %1 吗？删除后无法恢复。</source>
        <translation>Delete %1 on the server? It cannot be restored afterwards.</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>&amp;Log In...</source>
        <translation>&amp;Log In...</translation>
    </message>
    <message>
        <source>&amp;Refresh	F5</source>
        <translation>&amp;Refresh	F5</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>  剩余 %1:%2</source>
        <translation>  %1:%2 left</translation>
    </message>
    <message>
        <source>以下文件已取消：</source>
        <translation>These files were cancelled:</translation>
    </message>
    <message>
        <source>未发送</source>
        <translation>not sent</translation>
    </message>
    <message>
        <source>文件仍在传输。等待传输完成，还是取消传输并退出？</source>
        <translation>Files are still being transferred. Wait for the transfers to finish, or cancel them and quit?</translation>
    </message>
    <message>
        <source>等待完成</source>
        <translation>Wait</translation>
    </message>
    <message>
        <source>取消并退出</source>
        <translation>Cancel and Quit</translation>
    </message>
    <message>
        <source>服务器主机密钥未知</source>
        <translation>The server&apos;s host key is unknown</translation>
    </message>
    <message>
        <source>服务器主机密钥已改变，可能有人在拦截连接</source>
        <translation>The server&apos;s host key has changed: someone may be intercepting the connection</translation>
    </message>
    <message>
        <source>不加密继续</source>
        <translation>Continue without encryption</translation>
    </message>
    <message>
        <source>服务器不允许改名，无法安全替换，旧副本已保留</source>
        <translation>The server does not rename files, so the old copy could not be replaced safely; it was kept</translation>
    </message>
    <message>
        <source>收到的字节少于服务器上的文件</source>
        <translation>Fewer bytes arrived than the server&apos;s file holds</translation>
    </message>
    <message>
        <source>名称会离开所选文件夹（..、/）或含有控制字符，不予处理</source>
        <translation>The name would leave the chosen folder (.., /) or holds control characters, so it is not used</translation>
    </message>
    <message>
        <source>服务器 %1 不允许给文件改名（%2）。</source>
        <translation>The server %1 does not rename files (%2). </translation>
    </message>
    <message>
        <source>Mossvale 先把文件传到临时名称，完整后才替换旧副本；</source>
        <translation>Mossvale sends each file to a temporary name and replaces the old copy only once it is complete; </translation>
    </message>
    <message>
        <source>直接存储会在传送时覆盖旧副本，传送中断时新旧副本都不完整。</source>
        <translation>storing directly overwrites the old copy as the file arrives, and a broken upload leaves neither copy whole. </translation>
    </message>
    <message>
        <source>仍然对这个帐户直接存储文件吗？</source>
        <translation>Store files directly for this account anyway?</translation>
    </message>
    <message>
        <source>直接存储</source>
        <translation>Store directly</translation>
    </message>
    <message>
        <source>不存储，保留旧副本</source>
        <translation>Do not store, keep the old copies</translation>
    </message>
    <message>
        <source>本地已有不同的 %1。</source>
        <translation>A different %1 is already here.</translation>
    </message>
    <message>
        <source>本地：%1</source>
        <translation>Here: %1</translation>
    </message>
    <message>
        <source>服务器：%1</source>
        <translation>On the server: %1</translation>
    </message>
    <message>
        <source>%1，%2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>替换</source>
        <translation>Replace</translation>
    </message>
    <message>
        <source>保留两者</source>
        <translation>Keep both</translation>
    </message>
    <message>
        <source>跳过</source>
        <translation>Skip</translation>
    </message>
    <message>
        <source>%1 已传送，但服务器无法核对大小</source>
        <translation>%1 was sent, but the server offers no way to check its size</translation>
    </message>
    <message>
        <source>信任此服务器的这个证书</source>
        <translation>Trust this certificate for this server</translation>
    </message>
    <message>
        <source>没有可用的密钥环：每次登录请输入密码</source>
        <translation>No keyring is available: type the password at each login</translation>
    </message>
    <message>
        <source>服务器 %1 不提供加密连接。</source>
        <translation>The server %1 does not offer an encrypted connection. </translation>
    </message>
    <message>
        <source>不加密时，密码和文件以明文在网络上传送。</source>
        <translation>Without encryption, your password and files cross the network in clear text. </translation>
    </message>
    <message>
        <source>仍然不加密登录吗？</source>
        <translation>Log in without encryption anyway?</translation>
    </message>
    <message>
        <source>系统不为服务器 %1 的证书担保。</source>
        <translation>The system does not vouch for the certificate of the server %1. </translation>
    </message>
    <message>
        <source>只有确认这是你的服务器的证书时才信任它。</source>
        <translation>Trust it only if you know it is your server&apos;s.</translation>
    </message>
    <message>
        <source>主题：%1</source>
        <translation>Subject: %1</translation>
    </message>
    <message>
        <source>颁发者：%1</source>
        <translation>Issuer: %1</translation>
    </message>
    <message>
        <source>有效期：%1 至 %2</source>
        <translation>Valid: %1 to %2</translation>
    </message>
    <message>
        <source>SHA-256 指纹：%1</source>
        <translation>SHA-256 fingerprint: %1</translation>
    </message>
    <message>
        <source>没有可用的密钥环来保存密码。</source>
        <translation>No keyring is available to keep the password. </translation>
    </message>
    <message>
        <source>要把密码保存在只有你能读取的文件中吗？</source>
        <translation>Keep it in a file only you can read? </translation>
    </message>
    <message>
        <source>密码在文件中不加密，以你的身份运行的程序都能读取它。</source>
        <translation>It is not encrypted there: any program running as you can read it.</translation>
    </message>
    <message>
        <source>服务器 %1 的主机密钥未知。</source>
        <translation>The host key of the server %1 is not known. </translation>
    </message>
    <message>
        <source>只有确认这是你的服务器的密钥时才信任它。</source>
        <translation>Trust it only if you know it is your server&apos;s.</translation>
    </message>
    <message>
        <source>密钥类型：%1</source>
        <translation>Key type: %1</translation>
    </message>
    <message>
        <source>信任此服务器的这个主机密钥</source>
        <translation>Trust this host key for this server</translation>
    </message>
    <message>
        <source>自动备份</source>
        <translation>Backup Schedule</translation>
    </message>
    <message>
        <source>自动备份(&amp;A)：</source>
        <translation>Back up &amp;automatically:</translation>
    </message>
    <message>
        <source>从不</source>
        <translation>never</translation>
    </message>
    <message>
        <source>每小时</source>
        <translation>every hour</translation>
    </message>
    <message>
        <source>每天</source>
        <translation>every day</translation>
    </message>
    <message>
        <source>每周</source>
        <translation>every week on</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>at</translation>
    </message>
    <message>
        <source>星期一</source>
        <translation>Monday</translation>
    </message>
    <message>
        <source>星期二</source>
        <translation>Tuesday</translation>
    </message>
    <message>
        <source>星期三</source>
        <translation>Wednesday</translation>
    </message>
    <message>
        <source>星期四</source>
        <translation>Thursday</translation>
    </message>
    <message>
        <source>星期五</source>
        <translation>Friday</translation>
    </message>
    <message>
        <source>星期六</source>
        <translation>Saturday</translation>
    </message>
    <message>
        <source>星期日</source>
        <translation>Sunday</translation>
    </message>
    <message>
        <source>应用(&amp;P)</source>
        <translation>A&amp;pply</translation>
    </message>
    <message>
        <source>下次自动备份：%1</source>
        <translation>Next automatic backup: %1</translation>
    </message>
    <message>
        <source>不自动备份。</source>
        <translation>Backups run only when you start them.</translation>
    </message>
    <message>
        <source>无法设定自动备份：%1 失败（%2）。</source>
        <translation>Could not set up automatic backups: %1 failed (%2).</translation>
    </message>
    <message>
        <source>没有 systemd 用户会话，备份不能自动运行；现在不自动备份。</source>
        <translation>Without a systemd user session backups cannot run on their own; none is set now.</translation>
    </message>
    <message>
        <source>定时备份成功时也通知(&amp;N)</source>
        <translation>&amp;Notify me when a scheduled backup succeeds too</translation>
    </message>
    <message>
        <source>定时备份完成</source>
        <translation>Scheduled backup finished</translation>
    </message>
    <message>
        <source>定时备份失败</source>
        <translation>Scheduled backup failed</translation>
    </message>
    <message>
        <source>定时备份中断</source>
        <translation>Scheduled backup interrupted</translation>
    </message>
    <message>
        <source>查看历史记录</source>
        <translation>Show History</translation>
    </message>
    <message>
        <source>上次成功备份已久：%1</source>
        <translation>The last successful backup is overdue: %1</translation>
    </message>
    <message>
        <source>加密连接（TLS）握手失败</source>
        <translation>The encrypted connection (TLS) failed at its handshake</translation>
    </message>
    <message>
        <source>服务器不接受本程序支持的任何 TLS 版本</source>
        <translation>The server accepts none of the TLS versions this program speaks</translation>
    </message>
    <message>
        <source>SSH 密钥交换失败：服务器与本程序没有共同支持的算法</source>
        <translation>SSH key exchange failed: the server and this program share no algorithm</translation>
    </message>
    <message>
        <source>服务器 %1 以前提供加密连接，现在不提供了。</source>
        <translation>The server %1 offered an encrypted connection before and no longer does. </translation>
    </message>
    <message>
        <source>可能有人在拦截连接。</source>
        <translation>Someone may be intercepting the connection. </translation>
    </message>
    <message>
        <source>以前信任的 SHA-256 指纹：%1</source>
        <translation>SHA-256 fingerprint trusted before: %1</translation>
    </message>
    <message>
        <source>现在出示的：</source>
        <translation>Shown now:</translation>
    </message>
    <message>
        <source>信任新的…</source>
        <translation>Trust the new one…</translation>
    </message>
    <message>
        <source>只有确知服务器换了证书或主机密钥时才信任新的。</source>
        <translation>Trust the new one only if you know that the server&apos;s certificate or host key was replaced. </translation>
    </message>
    <message>
        <source>否则可能有人在拦截连接，你的密码会落到他手里。</source>
        <translation>Otherwise someone may be intercepting the connection, and your password would reach them.</translation>
    </message>
    <message>
        <source>确认信任新的</source>
        <translation>Yes, trust the new one</translation>
    </message>
    <message>
        <source>没有勾选任何要备份的文件或文件夹。请先在左边的树中勾选。</source>
        <translation>Nothing is ticked to back up. Tick files or folders in the tree on the left first.</translation>
    </message>
    <message>
        <source>此账户的另一个备份正在运行。请在它结束后再试。</source>
        <translation>Another backup of this account is running. Try again when it has ended.</translation>
    </message>
    <message>
        <source>已不存在</source>
        <translation>no longer exists</translation>
    </message>
    <message>
        <source>今天 %1</source>
        <translation>today %1</translation>
    </message>
    <message>
        <source>昨天 %1</source>
        <translation>yesterday %1</translation>
    </message>
    <message>
        <source>上次备份：%1，%2 个文件</source>
        <translation>Last backup: %1, %2 files</translation>
    </message>
    <message>
        <source>，%1 个失败</source>
        <translation>, %1 failed</translation>
    </message>
    <message>
        <source>，%1</source>
        <translation>, %1</translation>
    </message>
    <message>
        <source>中断</source>
        <translation>interrupted</translation>
    </message>
    <message>
        <source>进行中</source>
        <translation>running</translation>
    </message>
    <message>
        <source>完成</source>
        <translation>complete</translation>
    </message>
    <message>
        <source>有失败</source>
        <translation>with failures</translation>
    </message>
    <message>
        <source>窗口</source>
        <translation>window</translation>
    </message>
    <message>
        <source>命令行</source>
        <translation>command line</translation>
    </message>
    <message>
        <source>定时</source>
        <translation>timer</translation>
    </message>
    <message>
        <source>Backup &amp;History...</source>
        <translation>Backup &amp;History...</translation>
    </message>
    <message>
        <source>备份历史</source>
        <translation>Backup History</translation>
    </message>
    <message>
        <source>还没有备份记录。</source>
        <translation>No backup has run yet.</translation>
    </message>
    <message>
        <source>开始时间</source>
        <translation>Started</translation>
    </message>
    <message>
        <source>启动方式</source>
        <translation>Started from</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>已发送</source>
        <translation>Sent</translation>
    </message>
    <message>
        <source>未变</source>
        <translation>Unchanged</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>未备份的文件</source>
        <translation>Files not backed up</translation>
    </message>
    <message>
        <source>已送达；服务器不肯接续中断的传输，已从头重新发送</source>
        <translation>arrived; the server would not go on with the broken transfer, so it was sent again from its start</translation>
    </message>
    <message>
        <source>传输速度限制（所有连接合计）</source>
        <translation>Bandwidth limits (all connections together)</translation>
    </message>
    <message>
        <source>备份：</source>
        <translation>Backups:</translation>
    </message>
    <message>
        <source>恢复：</source>
        <translation>Restores:</translation>
    </message>
    <message>
        <source>不限</source>
        <translation>No limit</translation>
    </message>
    <message numerus="yes">
        <source>按排除规则略过 %n 项</source>
        <translation>
            <numerusform>%n left out by patterns</numerusform>
            <numerusform>%n left out by patterns</numerusform>
        </translation>
    </message>
    <message>
        <source>服务器尚余 %1</source>
        <translation>%1 free on the server</translation>
    </message>
    <message>
        <source>位置：%1</source>
        <translation>Location: %1</translation>
    </message>
    <message>
        <source>返回上一级文件夹</source>
        <translation>Back to the folder above</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>修改日期</source>
        <translation>Date modified</translation>
    </message>
    <message>
        <source>正在统计服务器上的全部文件…</source>
        <translation>Counting every file on the server…</translation>
    </message>
    <message>
        <source>其中早先版本 %1</source>
        <translation>of which earlier versions %1</translation>
    </message>
    <message numerus="yes">
        <source>确定要删除服务器上的文件夹 %1 及其中的 %n 个文件吗？删除后无法恢复。</source>
        <translation>
            <numerusform>Delete the folder %1 and the %n file it holds from the server? This cannot be undone.</numerusform>
            <numerusform>Delete the folder %1 and the %n files it holds from the server? This cannot be undone.</numerusform>
        </translation>
    </message>
    <message>
        <source>&amp;Details</source>
        <translation>&amp;Details</translation>
    </message>
    <message>
        <source>Check Every Server &amp;Copy</source>
        <translation>Check Every Server &amp;Copy</translation>
    </message>
    <message numerus="yes">
        <source>对其余 %n 个不同的文件也这样做</source>
        <translation>
            <numerusform>Do this for the %n other file that differs</numerusform>
            <numerusform>Do this for all %n other files that differ</numerusform>
        </translation>
    </message>
    <message>
        <source>未能完整读取服务器上的文件夹 %1，什么也没有恢复</source>
        <translation>The folder %1 on the server could not be read whole; nothing was restored</translation>
    </message>
    <message numerus="yes">
        <source>已恢复 %n 个文件</source>
        <translation>
            <numerusform>%n file restored</numerusform>
            <numerusform>%n files restored</numerusform>
        </translation>
    </message>
    <message>
        <source>另一次恢复还在进行，请等它结束后再试。</source>
        <translation>Another restore is still running; try again once it has ended.</translation>
    </message>
</context>
</TS>
