<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AutoTurner</name>
    <message>
        <source>请先打开一本书</source>
        <translation type="unfinished">请先打开一本书</translation>
    </message>
    <message>
        <source>▶ 自动</source>
        <translation type="unfinished">▶ 自动</translation>
    </message>
</context>
<context>
    <name>Book</name>
    <message>
        <source>《</source>
        <translation>《</translation>
    </message>
    <message>
        <source>》</source>
        <translation>》</translation>
    </message>
    <message>
        <source>（自动保存）</source>
        <translation>（自动保存）</translation>
    </message>
    <message>
        <source>书签文件已损坏且无法备份，为保全它不再写入</source>
        <translation type="vanished">书签文件已损坏且无法备份，为保全它不再写入</translation>
    </message>
</context>
<context>
    <name>BookNotices</name>
    <message>
        <source>无法保存%1的阅读位置和书签：%2
以后每次翻页时会再试。</source>
        <translation type="unfinished">无法保存%1的阅读位置和书签：%2
以后每次翻页时会再试。</translation>
    </message>
    <message>
        <source>“%1”不是书签文件，阅读器不会改动它。
这本书的书签保存在：
%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>书所在的文件夹无法写入，书签保存在：
%1</source>
        <translation type="unfinished">书所在的文件夹无法写入，书签保存在：
%1</translation>
    </message>
    <message numerus="yes">
        <source>书签文件已损坏，保留了其中完好的 %n 条书签。</source>
        <translation type="unfinished">
            <numerusform>书签文件已损坏，保留了其中完好的 %n 条书签。</numerusform>
        </translation>
    </message>
    <message>
        <source>损坏的文件无法备份，因此不会被覆盖。</source>
        <translation type="unfinished">损坏的文件无法备份，因此不会被覆盖。</translation>
    </message>
    <message>
        <source>损坏的文件已备份为：
%1</source>
        <translation type="unfinished">损坏的文件已备份为：
%1</translation>
    </message>
    <message>
        <source>自定义的章节规则太慢，已停止查找章节（找到了前 %1 章）。请在设置中把规则改得简单些。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>BookmarkDialog</name>
    <message>
        <source>书签</source>
        <translation>书签</translation>
    </message>
    <message>
        <source>跳转到</source>
        <translation>跳转到</translation>
    </message>
    <message>
        <source>删除书签</source>
        <translation>删除书签</translation>
    </message>
    <message>
        <source>书签 -</source>
        <translation>书签 -</translation>
    </message>
</context>
<context>
    <name>BookmarkStore</name>
    <message>
        <source>书签文件已损坏且无法备份，为保全它不再写入</source>
        <translation type="unfinished">书签文件已损坏且无法备份，为保全它不再写入</translation>
    </message>
</context>
<context>
    <name>ChapterRule</name>
    <message>
        <source>the pattern is empty</source>
        <translation>正则表达式为空</translation>
    </message>
</context>
<context>
    <name>CollectHotKeyDialog</name>
    <message>
        <source>按键采集</source>
        <translation>按键采集</translation>
    </message>
    <message>
        <source>请直接按下需要设置的快捷键...</source>
        <translation>请直接按下需要设置的快捷键...</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>清除</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>保存</translation>
    </message>
</context>
<context>
    <name>ContentsDialog</name>
    <message>
        <source>目录</source>
        <translation>目录</translation>
    </message>
    <message>
        <source>跳转到此章</source>
        <translation>跳转到此章</translation>
    </message>
    <message>
        <source>目录 -</source>
        <translation>目录 -</translation>
    </message>
    <message>
        <source>提示</source>
        <translation type="vanished">提示</translation>
    </message>
    <message>
        <source>请先选择章节</source>
        <translation>请先选择章节</translation>
    </message>
</context>
<context>
    <name>ContextMenu</name>
    <message>
        <source>自动</source>
        <translation type="unfinished">自动</translation>
    </message>
    <message>
        <source>编码</source>
        <translation type="unfinished">编码</translation>
    </message>
    <message>
        <source>最近打开</source>
        <translation type="unfinished">最近打开</translation>
    </message>
    <message>
        <source>（无）</source>
        <translation type="unfinished">（无）</translation>
    </message>
</context>
<context>
    <name>FindDialog</name>
    <message>
        <source>查找</source>
        <translation>查找</translation>
    </message>
    <message>
        <source>关键词</source>
        <translation>关键词</translation>
    </message>
    <message>
        <source>请输入关键词</source>
        <translation>请输入关键词</translation>
    </message>
    <message>
        <source>从当前阅读位置查找</source>
        <translation>从当前阅读位置查找</translation>
    </message>
    <message>
        <source>从头查找</source>
        <translation>从头查找</translation>
    </message>
    <message>
        <source>查找结果</source>
        <translation>查找结果</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>上一个</source>
        <translation>上一个</translation>
    </message>
    <message>
        <source>下一个</source>
        <translation>下一个</translation>
    </message>
    <message>
        <source>跳转到此</source>
        <translation>跳转到此</translation>
    </message>
    <message>
        <source>无书籍内容，请先在主界面打开一个文本文件</source>
        <translation>无书籍内容，请先在主界面打开一个文本文件</translation>
    </message>
</context>
<context>
    <name>HotKeyManager</name>
    <message>
        <source>打开文件</source>
        <translation type="vanished">打开文件</translation>
    </message>
    <message>
        <source>关闭文件</source>
        <translation type="vanished">关闭文件</translation>
    </message>
    <message>
        <source>目录</source>
        <translation type="vanished">目录</translation>
    </message>
    <message>
        <source>书签列表</source>
        <translation type="vanished">书签列表</translation>
    </message>
    <message>
        <source>添加书签</source>
        <translation type="vanished">添加书签</translation>
    </message>
    <message>
        <source>查找</source>
        <translation type="vanished">查找</translation>
    </message>
    <message>
        <source>上一页</source>
        <translation type="vanished">上一页</translation>
    </message>
    <message>
        <source>下一页</source>
        <translation type="vanished">下一页</translation>
    </message>
    <message>
        <source>隐藏窗口</source>
        <translation type="vanished">隐藏窗口</translation>
    </message>
    <message>
        <source>显示窗口</source>
        <translation type="vanished">显示窗口</translation>
    </message>
    <message>
        <source>窗口居中</source>
        <translation type="vanished">窗口居中</translation>
    </message>
    <message>
        <source>显示菜单</source>
        <translation type="vanished">显示菜单</translation>
    </message>
    <message>
        <source>设置</source>
        <translation type="vanished">设置</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation type="vanished">帮助</translation>
    </message>
    <message>
        <source>上一章</source>
        <translation type="vanished">上一章</translation>
    </message>
    <message>
        <source>下一章</source>
        <translation type="vanished">下一章</translation>
    </message>
    <message>
        <source>退出</source>
        <translation type="vanished">退出</translation>
    </message>
    <message>
        <source>隐藏或显示窗口</source>
        <translation type="vanished">隐藏或显示窗口</translation>
    </message>
    <message>
        <source>自动翻页</source>
        <translation type="vanished">自动翻页</translation>
    </message>
    <message>
        <source>跳转</source>
        <translation type="vanished">跳转</translation>
    </message>
</context>
<context>
    <name>JumpTarget</name>
    <message>
        <source>请先打开一本书</source>
        <translation>请先打开一本书</translation>
    </message>
    <message>
        <source>无法跳转到“%1”：请输入 0% 到 100% 之间的百分比，如 37.5%（这本书没有分章）</source>
        <translation>无法跳转到“%1”：请输入 0% 到 100% 之间的百分比，如 37.5%（这本书没有分章）</translation>
    </message>
    <message>
        <source>无法跳转到“%1”：请输入 0% 到 100% 之间的百分比，如 37.5%，或 1 到 %2 之间的章节号</source>
        <translation>无法跳转到“%1”：请输入 0% 到 100% 之间的百分比，如 37.5%，或 1 到 %2 之间的章节号</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Tavril阅读器</source>
        <translation>Tavril阅读器</translation>
    </message>
    <message>
        <source>隐藏</source>
        <translation type="vanished">隐藏</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation type="vanished">打开文件</translation>
    </message>
    <message>
        <source>关闭文件</source>
        <translation type="vanished">关闭文件</translation>
    </message>
    <message>
        <source>目录</source>
        <translation type="vanished">目录</translation>
    </message>
    <message>
        <source>书签</source>
        <translation type="vanished">书签</translation>
    </message>
    <message>
        <source>添加书签</source>
        <translation type="vanished">添加书签</translation>
    </message>
    <message>
        <source>查找</source>
        <translation type="vanished">查找</translation>
    </message>
    <message>
        <source>上一页</source>
        <translation type="vanished">上一页</translation>
    </message>
    <message>
        <source>下一页</source>
        <translation type="vanished">下一页</translation>
    </message>
    <message>
        <source>上一章</source>
        <translation type="vanished">上一章</translation>
    </message>
    <message>
        <source>下一章</source>
        <translation type="vanished">下一章</translation>
    </message>
    <message>
        <source>设置</source>
        <translation type="vanished">设置</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation type="vanished">帮助</translation>
    </message>
    <message>
        <source>退出</source>
        <translation type="vanished">退出</translation>
    </message>
    <message>
        <source>书签添加成功</source>
        <translation type="vanished">书签添加成功</translation>
    </message>
    <message>
        <source>已是首页</source>
        <translation type="vanished">已是首页</translation>
    </message>
    <message>
        <source>已是末页</source>
        <translation type="vanished">已是末页</translation>
    </message>
    <message>
        <source>已是第一章</source>
        <translation type="vanished">已是第一章</translation>
    </message>
    <message>
        <source>已是最后一章</source>
        <translation type="vanished">已是最后一章</translation>
    </message>
    <message>
        <source>无法打开文件</source>
        <translation type="vanished">无法打开文件</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>自动</source>
        <translation type="vanished">自动</translation>
    </message>
    <message>
        <source>编码</source>
        <translation type="vanished">编码</translation>
    </message>
    <message>
        <source>请先打开一本书</source>
        <translation type="vanished">请先打开一本书</translation>
    </message>
    <message>
        <source>书签添加失败：%1</source>
        <translation type="vanished">书签添加失败：%1</translation>
    </message>
    <message>
        <source>无法打开文件：找不到“%1”</source>
        <translation type="vanished">无法打开文件：找不到“%1”</translation>
    </message>
    <message>
        <source>无法打开文件：“%1”是一个文件夹</source>
        <translation type="vanished">无法打开文件：“%1”是一个文件夹</translation>
    </message>
    <message>
        <source>无法打开文件：“%1”不是普通文件</source>
        <translation type="vanished">无法打开文件：“%1”不是普通文件</translation>
    </message>
    <message>
        <source>无法打开文件：没有读取“%1”的权限</source>
        <translation type="vanished">无法打开文件：没有读取“%1”的权限</translation>
    </message>
    <message>
        <source>无法打开文件：“%1”大于 1 GiB</source>
        <translation type="vanished">无法打开文件：“%1”大于 1 GiB</translation>
    </message>
    <message>
        <source>无法打开文件：读取“%1”时出错</source>
        <translation type="vanished">无法打开文件：读取“%1”时出错</translation>
    </message>
    <message>
        <source>“%1”看起来不是文本文件，仍要打开吗？</source>
        <translation type="vanished">“%1”看起来不是文本文件，仍要打开吗？</translation>
    </message>
    <message>
        <source>无法保存%1的阅读位置和书签：%2
以后每次翻页时会再试。</source>
        <translation type="vanished">无法保存%1的阅读位置和书签：%2
以后每次翻页时会再试。</translation>
    </message>
    <message>
        <source>书所在的文件夹无法写入，书签保存在：
%1</source>
        <translation type="vanished">书所在的文件夹无法写入，书签保存在：
%1</translation>
    </message>
    <message numerus="yes">
        <source>书签文件已损坏，保留了其中完好的 %n 条书签。</source>
        <translation type="vanished">
            <numerusform>书签文件已损坏，保留了其中完好的 %n 条书签。</numerusform>
        </translation>
    </message>
    <message>
        <source>损坏的文件无法备份，因此不会被覆盖。</source>
        <translation type="vanished">损坏的文件无法备份，因此不会被覆盖。</translation>
    </message>
    <message>
        <source>损坏的文件已备份为：
%1</source>
        <translation type="vanished">损坏的文件已备份为：
%1</translation>
    </message>
    <message>
        <source>▶ 自动</source>
        <translation type="vanished">▶ 自动</translation>
    </message>
    <message>
        <source>跳转</source>
        <translation type="vanished">跳转</translation>
    </message>
    <message>
        <source>自动翻页</source>
        <translation type="vanished">自动翻页</translation>
    </message>
    <message>
        <source>百分比（如 37.5%）或章节号（如 12）：</source>
        <translation type="vanished">百分比（如 37.5%）或章节号（如 12）：</translation>
    </message>
    <message>
        <source>最近打开</source>
        <translation type="vanished">最近打开</translation>
    </message>
    <message>
        <source>（无）</source>
        <translation type="vanished">（无）</translation>
    </message>
    <message>
        <source>“%1”已不存在，已从最近打开中移除</source>
        <translation type="vanished">“%1”已不存在，已从最近打开中移除</translation>
    </message>
</context>
<context>
    <name>PortalShortcuts</name>
    <message>
        <source>桌面没有回答</source>
        <translation>桌面没有回答</translation>
    </message>
    <message>
        <source>没有会话总线</source>
        <translation>没有会话总线</translation>
    </message>
    <message>
        <source>桌面没有开放全局快捷键（%1）</source>
        <translation>桌面没有开放全局快捷键（%1）</translation>
    </message>
    <message>
        <source>桌面拒绝了全局快捷键</source>
        <translation>桌面拒绝了全局快捷键</translation>
    </message>
    <message>
        <source>桌面没有绑定全局快捷键（%1）</source>
        <translation>桌面没有绑定全局快捷键（%1）</translation>
    </message>
    <message>
        <source>桌面结束了全局快捷键</source>
        <translation>桌面结束了全局快捷键</translation>
    </message>
</context>
<context>
    <name>PreferenceDialog</name>
    <message>
        <source>设置</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>常规</source>
        <translation>常规</translation>
    </message>
    <message>
        <source>字体配色</source>
        <translation>字体配色</translation>
    </message>
    <message>
        <source>字体</source>
        <translation>字体</translation>
    </message>
    <message>
        <source>字号</source>
        <translation>字号</translation>
    </message>
    <message>
        <source>行间距</source>
        <translation>行间距</translation>
    </message>
    <message>
        <source>字间距</source>
        <translation>字间距</translation>
    </message>
    <message>
        <source>文字颜色</source>
        <translation>文字颜色</translation>
    </message>
    <message>
        <source>background-color: rgb(72, 133, 255);</source>
        <translation>background-color: rgb(72, 133, 255);</translation>
    </message>
    <message>
        <source>背景颜色</source>
        <translation>背景颜色</translation>
    </message>
    <message>
        <source>恢复默认</source>
        <translation>恢复默认</translation>
    </message>
    <message>
        <source>透明度设置</source>
        <translation>透明度设置</translation>
    </message>
    <message>
        <source>仅背景透明</source>
        <translation>仅背景透明</translation>
    </message>
    <message>
        <source>整体透明</source>
        <translation>整体透明</translation>
    </message>
    <message>
        <source>不透明度</source>
        <translation>不透明度</translation>
    </message>
    <message>
        <source>100%</source>
        <translation>100%</translation>
    </message>
    <message>
        <source>系统相关</source>
        <translation>系统相关</translation>
    </message>
    <message>
        <source>窗口置顶</source>
        <translation>窗口置顶</translation>
    </message>
    <message>
        <source>窗口位置大小记忆</source>
        <translation>窗口位置大小记忆</translation>
    </message>
    <message>
        <source>启动时打开上次文件</source>
        <translation>启动时打开上次文件</translation>
    </message>
    <message>
        <source>开启托盘</source>
        <translation>开启托盘</translation>
    </message>
    <message>
        <source>快捷键</source>
        <translation>快捷键</translation>
    </message>
    <message>
        <source>功能</source>
        <translation>功能</translation>
    </message>
    <message>
        <source>应用内快捷键</source>
        <translation>应用内快捷键</translation>
    </message>
    <message>
        <source>全局快捷键</source>
        <translation>全局快捷键</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>打开文件</translation>
    </message>
    <message>
        <source>关闭文件</source>
        <translation>关闭文件</translation>
    </message>
    <message>
        <source>目录</source>
        <translation>目录</translation>
    </message>
    <message>
        <source>书签列表</source>
        <translation>书签列表</translation>
    </message>
    <message>
        <source>添加书签</source>
        <translation>添加书签</translation>
    </message>
    <message>
        <source>查找</source>
        <translation>查找</translation>
    </message>
    <message>
        <source>上一页</source>
        <translation>上一页</translation>
    </message>
    <message>
        <source>下一页</source>
        <translation>下一页</translation>
    </message>
    <message>
        <source>上一章</source>
        <translation>上一章</translation>
    </message>
    <message>
        <source>下一章</source>
        <translation>下一章</translation>
    </message>
    <message>
        <source>隐藏窗口</source>
        <translation>隐藏窗口</translation>
    </message>
    <message>
        <source>显示窗口</source>
        <translation>显示窗口</translation>
    </message>
    <message>
        <source>窗口居中</source>
        <translation>窗口居中</translation>
    </message>
    <message>
        <source>将窗口移动到屏幕中间位置</source>
        <translation>将窗口移动到屏幕中间位置</translation>
    </message>
    <message>
        <source>显示菜单</source>
        <translation>显示菜单</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>鼠标滚轮翻页</source>
        <translation>鼠标滚轮翻页</translation>
    </message>
    <message>
        <source>单击下一页</source>
        <translation>单击下一页</translation>
    </message>
    <message>
        <source>双击隐藏</source>
        <translation>双击隐藏</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>Tavril阅读器</source>
        <translation>Tavril阅读器</translation>
    </message>
    <message>
        <source>version</source>
        <translation>version</translation>
    </message>
    <message>
        <source>© Tavril阅读器 </source>
        <translation>© Tavril阅读器 </translation>
    </message>
    <message>
        <source>site</source>
        <translation>site</translation>
    </message>
    <message>
        <source> 版权所有</source>
        <translation> 版权所有</translation>
    </message>
    <message>
        <source>检查更新</source>
        <translation>检查更新</translation>
    </message>
    <message>
        <source>意见反馈</source>
        <translation>意见反馈</translation>
    </message>
    <message>
        <source>在线帮助</source>
        <translation>在线帮助</translation>
    </message>
    <message>
        <source>版本号 v%1 (%2-%3)</source>
        <translation>版本号 v%1 (%2-%3)</translation>
    </message>
    <message>
        <source>提示</source>
        <translation type="vanished">提示</translation>
    </message>
    <message>
        <source>确认重置？</source>
        <translation>确认重置？</translation>
    </message>
    <message>
        <source>此快捷键已被占用</source>
        <translation>此快捷键已被占用</translation>
    </message>
    <message>
        <source>确认重置所有快捷键？</source>
        <translation>确认重置所有快捷键？</translation>
    </message>
    <message>
        <source>启动时检查更新</source>
        <translation>启动时检查更新</translation>
    </message>
    <message>
        <source>章节规则</source>
        <translation>章节规则</translation>
    </message>
    <message>
        <source>正则表达式，按行匹配，例如 ^第.+章</source>
        <translation>正则表达式，按行匹配，例如 ^第.+章</translation>
    </message>
    <message>
        <source>在桌面设置中修改…</source>
        <translation>在桌面设置中修改…</translation>
    </message>
    <message>
        <source>在这个桌面上，窗口是否置顶由桌面决定</source>
        <translation>在这个桌面上，窗口是否置顶由桌面决定</translation>
    </message>
    <message>
        <source>标准</source>
        <translation>标准</translation>
    </message>
    <message>
        <source>严格</source>
        <translation>严格</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>自定义</translation>
    </message>
    <message>
        <source>请输入正则表达式</source>
        <translation>请输入正则表达式</translation>
    </message>
    <message>
        <source>正则表达式有误（第 %1 个字符）：%2</source>
        <translation>正则表达式有误（第 %1 个字符）：%2</translation>
    </message>
    <message>
        <source>在当前的书中找到 %1 章</source>
        <translation>在当前的书中找到 %1 章</translation>
    </message>
    <message>
        <source>在当前的书中已找到 %1 章以上</source>
        <translation>在当前的书中已找到 %1 章以上</translation>
    </message>
    <message>
        <source>未绑定</source>
        <translation>未绑定</translation>
    </message>
    <message>
        <source>由桌面分配</source>
        <translation>由桌面分配</translation>
    </message>
    <message>
        <source>全局快捷键由桌面分配，右列是桌面实际绑定的按键。</source>
        <translation>全局快捷键由桌面分配，右列是桌面实际绑定的按键。</translation>
    </message>
    <message>
        <source>正在向桌面申请全局快捷键……</source>
        <translation>正在向桌面申请全局快捷键……</translation>
    </message>
    <message>
        <source>这个桌面不提供全局快捷键（%1）。可以在桌面自己的键盘设置中绑定快捷键，让它运行 tavril --command 加命令名，例如 tavril --command next-page（下一页）、tavril --command toggle（隐藏或显示窗口）；全部命令名见 tavril --help。</source>
        <translation>这个桌面不提供全局快捷键（%1）。可以在桌面自己的键盘设置中绑定快捷键，让它运行 tavril --command 加命令名，例如 tavril --command next-page（下一页）、tavril --command toggle（隐藏或显示窗口）；全部命令名见 tavril --help。</translation>
    </message>
    <message>
        <source>阅读</source>
        <translation>阅读</translation>
    </message>
    <message>
        <source>显示进度</source>
        <translation>显示进度</translation>
    </message>
    <message>
        <source>标点避头尾</source>
        <translation>标点避头尾</translation>
    </message>
    <message>
        <source>自动翻页间隔</source>
        <translation>自动翻页间隔</translation>
    </message>
    <message>
        <source> 秒</source>
        <translation> 秒</translation>
    </message>
    <message>
        <source>自动翻页</source>
        <translation>自动翻页</translation>
    </message>
    <message>
        <source>跳转</source>
        <translation>跳转</translation>
    </message>
    <message>
        <source>这个规则太慢：查找全书的章节约需 %1 秒，没有采用。请把它改得简单些。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Reader</name>
    <message>
        <source>Tavril阅读器</source>
        <translation>Tavril阅读器</translation>
    </message>
    <message>
        <source>小巧 ▪ 简洁 ▪ 好用</source>
        <translation>小巧 ▪ 简洁 ▪ 好用</translation>
    </message>
    <message>
        <source>点击鼠标右键开始享用</source>
        <translation>点击鼠标右键开始享用</translation>
    </message>
</context>
<context>
    <name>ReadingCommands</name>
    <message>
        <source>已是首页</source>
        <translation type="unfinished">已是首页</translation>
    </message>
    <message>
        <source>已是末页</source>
        <translation type="unfinished">已是末页</translation>
    </message>
    <message>
        <source>已是第一章</source>
        <translation type="unfinished">已是第一章</translation>
    </message>
    <message>
        <source>已是最后一章</source>
        <translation type="unfinished">已是最后一章</translation>
    </message>
    <message>
        <source>请先打开一本书</source>
        <translation type="unfinished">请先打开一本书</translation>
    </message>
    <message>
        <source>书签添加成功</source>
        <translation type="unfinished">书签添加成功</translation>
    </message>
    <message>
        <source>书签已添加，但暂时无法保存：%1
书签已记下，磁盘可以写入时会随下一次翻页保存。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法打开文件：找不到“%1”</source>
        <translation type="unfinished">无法打开文件：找不到“%1”</translation>
    </message>
    <message>
        <source>无法打开文件：“%1”是一个文件夹</source>
        <translation type="unfinished">无法打开文件：“%1”是一个文件夹</translation>
    </message>
    <message>
        <source>无法打开文件：“%1”不是普通文件</source>
        <translation type="unfinished">无法打开文件：“%1”不是普通文件</translation>
    </message>
    <message>
        <source>无法打开文件：没有读取“%1”的权限</source>
        <translation type="unfinished">无法打开文件：没有读取“%1”的权限</translation>
    </message>
    <message>
        <source>无法打开文件：“%1”大于 1023 MiB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法打开文件：读取“%1”时出错</source>
        <translation type="unfinished">无法打开文件：读取“%1”时出错</translation>
    </message>
    <message>
        <source>“%1”看起来不是文本文件，仍要打开吗？</source>
        <translation type="unfinished">“%1”看起来不是文本文件，仍要打开吗？</translation>
    </message>
    <message>
        <source>“%1”已不存在，已从最近打开中移除</source>
        <translation type="unfinished">“%1”已不存在，已从最近打开中移除</translation>
    </message>
    <message>
        <source>跳转</source>
        <translation type="unfinished">跳转</translation>
    </message>
    <message>
        <source>百分比（如 37.5%）或章节号（如 12）：</source>
        <translation type="unfinished">百分比（如 37.5%）或章节号（如 12）：</translation>
    </message>
</context>
<context>
    <name>WhatsNewDlg</name>
    <message>
        <source>检查更新</source>
        <translation>检查更新</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>下载</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>正在检查更新…</source>
        <translation>正在检查更新…</translation>
    </message>
    <message>
        <source>检查更新失败：%1</source>
        <translation type="vanished">检查更新失败：%1</translation>
    </message>
    <message>
        <source>检查更新失败：服务器的回答无法识别</source>
        <translation>检查更新失败：服务器的回答无法识别</translation>
    </message>
    <message>
        <source>当前已是最新版本</source>
        <translation>当前已是最新版本</translation>
    </message>
    <message>
        <source>发现新版本 %1，需要更新后才能继续使用</source>
        <translation>发现新版本 %1，需要更新后才能继续使用</translation>
    </message>
    <message>
        <source>发现新版本 %1</source>
        <translation>发现新版本 %1</translation>
    </message>
    <message>
        <source>检查更新失败：服务器的回答过大</source>
        <translation>检查更新失败：服务器的回答过大</translation>
    </message>
    <message>
        <source>检查更新失败：连接超时</source>
        <translation>检查更新失败：连接超时</translation>
    </message>
    <message>
        <source>检查更新失败：无法连接到更新服务器</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>请检查网络连接，稍后再试。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>更新服务器没有及时回答，请稍后再试。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>检查更新失败：更新服务器出错</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>这是服务器一方的问题，请稍后再试。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>服务器的回答不是更新信息，已忽略。</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
