<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>BoxAccessibleText</name>
    <message>
        <source>未加密</source>
        <translation>not encrypted</translation>
    </message>
    <message>
        <source>已加密，已挂载</source>
        <translation>encrypted, mounted</translation>
    </message>
    <message>
        <source>已加密，未挂载</source>
        <translation>encrypted, not mounted</translation>
    </message>
    <message>
        <source>已共享</source>
        <translation>shared</translation>
    </message>
    <message>
        <source>未共享</source>
        <translation>not shared</translation>
    </message>
    <message>
        <source>来自 %1</source>
        <translation>shared by %1</translation>
    </message>
    <message>
        <source>本人创建</source>
        <translation>your own box</translation>
    </message>
    <message>
        <source>%1，%2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>%1，%2，%3</source>
        <translation>%1, %2, %3</translation>
    </message>
</context>
<context>
    <name>BoxFilterDialog</name>
    <message>
        <source>全部</source>
        <translation>All</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <source>个人创建</source>
        <translation>Mine</translation>
    </message>
    <message>
        <source>他人共享</source>
        <translation>Shared by others</translation>
    </message>
</context>
<context>
    <name>BoxItemDelegate</name>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <source>%1 共享</source>
        <translation>Shared by %1</translation>
    </message>
    <message>
        <source>本人创建</source>
        <translation>Me</translation>
    </message>
</context>
<context>
    <name>BoxListWidget</name>
    <message>
        <source>保护箱图标视图</source>
        <translation>Boxes as icons</translation>
    </message>
    <message>
        <source>方向键选择保护箱，回车键打开或挂载，菜单键或 Shift+F10 打开操作菜单</source>
        <translation>Arrow keys select a box, Return opens or mounts it, the Menu key or Shift+F10 opens its menu</translation>
    </message>
</context>
<context>
    <name>BoxTabelHeaderView</name>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>是否加密</source>
        <translation>Encrypted</translation>
    </message>
    <message>
        <source>是否共享</source>
        <translation>Shared</translation>
    </message>
    <message>
        <source>来自于</source>
        <translation>From</translation>
    </message>
</context>
<context>
    <name>BoxTableModel</name>
    <message>
        <source>保护箱 “%1”：%2</source>
        <translation>Box “%1”: %2</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>是否加密</source>
        <translation>Encrypted</translation>
    </message>
    <message>
        <source>是否共享</source>
        <translation>Shared</translation>
    </message>
    <message>
        <source>来自于</source>
        <translation>From</translation>
    </message>
</context>
<context>
    <name>BoxTableView</name>
    <message>
        <source>保护箱列表视图</source>
        <translation>Boxes as a table</translation>
    </message>
    <message>
        <source>方向键选择保护箱，回车键打开或挂载，菜单键或 Shift+F10 打开操作菜单，Alt+向下键打开当前列的筛选</source>
        <translation>Arrow keys select a box, Return opens or mounts it, the Menu key or Shift+F10 opens its menu, Alt+Down opens the filter of the current column</translation>
    </message>
</context>
<context>
    <name>ChangeBoxLockedDialog</name>
    <message>
        <source>密码设置</source>
        <translation>Password settings</translation>
    </message>
    <message>
        <source>更改密码设置</source>
        <translation>Change password settings</translation>
    </message>
    <message>
        <source>保护箱: %1</source>
        <translation>Box: %1</translation>
    </message>
    <message>
        <source>更改方式：</source>
        <translation>Change:</translation>
    </message>
    <message>
        <source>修改密码</source>
        <translation>Change password</translation>
    </message>
    <message>
        <source>解除保护</source>
        <translation>Remove protection</translation>
    </message>
    <message>
        <source>当前密码</source>
        <translation>Current password</translation>
    </message>
    <message>
        <source>新密码</source>
        <translation>New password</translation>
    </message>
    <message>
        <source>新密码确认</source>
        <translation>Confirm new password</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>未选定须修改密码的保护箱，请选择后重新修改！</source>
        <translation>No box is selected for the password change. Select a box and try again!</translation>
    </message>
    <message>
        <source>原密码不可为空</source>
        <translation>The current password must not be empty</translation>
    </message>
    <message>
        <source>新密码不可为空</source>
        <translation>The new password must not be empty</translation>
    </message>
    <message>
        <source>新密码确认不可为空</source>
        <translation>The new password confirmation must not be empty</translation>
    </message>
    <message>
        <source>新密码与确认密码不一致</source>
        <translation>The new password and its confirmation do not match</translation>
    </message>
    <message>
        <source>保护箱 “%1” 密码修改失败！</source>
        <translation>Could not change the password of box “%1”!</translation>
    </message>
    <message>
        <source>确认密码不可为空</source>
        <translation>The password confirmation must not be empty</translation>
    </message>
    <message>
        <source>解除保护箱 “%1” 密码保护失败！</source>
        <translation>Could not remove the password protection of box “%1”!</translation>
    </message>
</context>
<context>
    <name>CreateBoxLockedDialog</name>
    <message>
        <source>创建密码</source>
        <translation>Create password</translation>
    </message>
    <message>
        <source>创建保护箱密码</source>
        <translation>Create a box password</translation>
    </message>
    <message>
        <source>保护箱: %1</source>
        <translation>Box: %1</translation>
    </message>
    <message>
        <source>密码</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>确认密码</source>
        <translation>Confirm password</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>密码不可为空</source>
        <translation>The password must not be empty</translation>
    </message>
    <message>
        <source>确认密码不可为空</source>
        <translation>The password confirmation must not be empty</translation>
    </message>
    <message>
        <source>密码与确认密码不一致</source>
        <translation>The password and its confirmation do not match</translation>
    </message>
    <message>
        <source>保护箱 “%1” 创建密码保护失败！</source>
        <translation>Could not protect box “%1” with a password!</translation>
    </message>
</context>
<context>
    <name>MessageBox</name>
    <message>
        <source>确认</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>询问</source>
        <translation>Question</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>完成</source>
        <translation>Done</translation>
    </message>
</context>
<context>
    <name>PrivilegeSharedBoxDialog</name>
    <message>
        <source>共享设置</source>
        <translation>Share settings</translation>
    </message>
    <message>
        <source>为“%1”设置共享权限</source>
        <translation>Set share permissions for “%1”</translation>
    </message>
    <message>
        <source>应用</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>仅读取</source>
        <translation>Read only</translation>
    </message>
    <message>
        <source>可读写</source>
        <translation>Read and write</translation>
    </message>
    <message>
        <source>保护箱 “%1” 设置共享权限失败！</source>
        <translation>Could not set the share permissions of box “%1”!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 设置共享权限成功！</source>
        <translation>The share permissions of box “%1” are set!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 部分用户权限共享失败，请重新共享！</source>
        <translation>Box “%1” could not be shared with some users. Please share it again!</translation>
    </message>
</context>
<context>
    <name>RenameBoxDialog</name>
    <message>
        <source>重命名</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>为&quot;%1&quot;保护箱重命名</source>
        <translation>Rename box &quot;%1&quot;</translation>
    </message>
    <message>
        <source>新名称</source>
        <translation>New name</translation>
    </message>
    <message>
        <source>密码验证</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>保护箱新名称不可为空</source>
        <translation>The new box name must not be empty</translation>
    </message>
    <message>
        <source>保护箱密码不可为空</source>
        <translation>The box password must not be empty</translation>
    </message>
    <message>
        <source>密码认证失败，请确认密码后重新认证</source>
        <translation>Wrong password. Check the password and try again</translation>
    </message>
    <message>
        <source>保护箱 “%1” 重命名失败！</source>
        <translation>Could not rename box “%1”!</translation>
    </message>
</context>
<context>
    <name>TitleBar</name>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>最小化</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>菜单</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>返回</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>关闭窗口</source>
        <translation>Close the window</translation>
    </message>
    <message>
        <source>最小化窗口</source>
        <translation>Minimize the window</translation>
    </message>
    <message>
        <source>打开主菜单：帮助手册和关于</source>
        <translation>Open the main menu: help and about</translation>
    </message>
    <message>
        <source>返回上一步</source>
        <translation>Go back</translation>
    </message>
</context>
<context>
    <name>Vaultrane</name>
    <message>
        <source>Venmora文件保护箱</source>
        <translation>Venmora File Boxes</translation>
    </message>
    <message>
        <source>文件保护箱</source>
        <translation>File Boxes</translation>
    </message>
    <message>
        <source>提供数据安全保护，支持个人数据的隔离隐藏、加密保护和共享功能</source>
        <translation>Keeps your data safe: private folders that others cannot see, with encryption and sharing</translation>
    </message>
    <message>
        <source>全部保护箱</source>
        <translation>All boxes</translation>
    </message>
    <message>
        <source>新建</source>
        <translation>New</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>密码设置</source>
        <translation>Password settings</translation>
    </message>
    <message>
        <source>共享设置</source>
        <translation>Share settings</translation>
    </message>
    <message>
        <source>已共享</source>
        <translation>Shared</translation>
    </message>
    <message>
        <source>已加密</source>
        <translation>Encrypted</translation>
    </message>
    <message>
        <source>已挂载</source>
        <translation>Mounted</translation>
    </message>
    <message>
        <source>新建一个保护箱</source>
        <translation>Create a new box</translation>
    </message>
    <message>
        <source>删除选中的保护箱</source>
        <translation>Delete the selected box</translation>
    </message>
    <message>
        <source>添加、修改或解除选中保护箱的密码</source>
        <translation>Add, change or remove the password of the selected box</translation>
    </message>
    <message>
        <source>设置哪些用户可以使用选中的保护箱</source>
        <translation>Choose which users may use the selected box</translation>
    </message>
    <message>
        <source>列表视图</source>
        <translation>Table view</translation>
    </message>
    <message>
        <source>以表格显示保护箱，可按是否加密、是否共享和来源筛选</source>
        <translation>Show the boxes as a table that can be filtered by encryption, sharing and owner</translation>
    </message>
    <message>
        <source>图标视图</source>
        <translation>Icon view</translation>
    </message>
    <message>
        <source>以图标显示保护箱</source>
        <translation>Show the boxes as icons</translation>
    </message>
</context>
</TS>
