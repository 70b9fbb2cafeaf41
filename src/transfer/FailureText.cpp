#include "FailureText.h"

#include <QtGlobal>

const char* FailureText(ETransferFailure eFailure)
{
    switch (eFailure) {
    case FAILURE_LOGIN_REFUSED:
        return QT_TRANSLATE_NOOP("FailureText", "登录被拒绝");
    case FAILURE_NO_CONNECTION:
        return QT_TRANSLATE_NOOP("FailureText", "无法连接服务器");
    case FAILURE_SERVER_REFUSED:
        return QT_TRANSLATE_NOOP("FailureText", "服务器拒绝");
    case FAILURE_LOCAL_UNREADABLE:
        return QT_TRANSLATE_NOOP("FailureText", "本地文件无法读取");
    case FAILURE_NOT_REGULAR_FILE:
        return QT_TRANSLATE_NOOP("FailureText", "不是普通文件");
    case FAILURE_DISK_FULL:
        return QT_TRANSLATE_NOOP("FailureText", "磁盘已满");
    case FAILURE_CONNECTION_BROKEN:
        return QT_TRANSLATE_NOOP("FailureText", "连接中断");
    case FAILURE_SIZE_CHECK:
        return QT_TRANSLATE_NOOP("FailureText", "大小校验失败");
    case FAILURE_NONE:
        break;
    }
    return "";
}
