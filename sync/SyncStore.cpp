#include "SyncStore.h"

QString SyncStore::problemText(Problem problem, const QString &detail)
{
    QString text;
    switch (problem) {
    case NoProblem:
        return tr("同步正常");
    case NotSet:
        text = tr("还没有设置同步的地址或文件夹");
        break;
    case Insecure:
        text = tr("地址不是 https：密码会以明文传送。请改用 https，或勾选“允许未加密连接”");
        break;
    case Address:
        text = tr("无法连接服务器，请检查地址和网络");
        break;
    case Credentials:
        text = tr("服务器拒绝了用户名或密码");
        break;
    case Certificate:
        text = tr("服务器的证书不可信");
        break;
    case Quota:
        text = tr("服务器上的空间已满");
        break;
    case Timeout:
        text = tr("服务器长时间没有回应");
        break;
    case Server:
        text = tr("服务器出错");
        break;
    case Folder:
        text = tr("同步文件夹无法使用");
        break;
    }
    return detail.isEmpty() ? text : tr("%1（%2）").arg(text, detail);
}
