<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AboutDialog</name>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Venmora文件保护箱</source>
        <translation>Venmora File Boxes</translation>
    </message>
    <message>
        <source>运行环境: AstrelVenmora操作系统 (V10)</source>
        <translation>Runs on: AstrelVenmora operating system (V10)</translation>
    </message>
    <message>
        <source>安全内核 (3.0.0) 以上</source>
        <translation>Security kernel 3.0.0 or later</translation>
    </message>
    <message>
        <source>保护箱套件 (3.0.8) 以上</source>
        <translation>Box suite 3.0.8 or later</translation>
    </message>
    <message>
        <source>软件版本: </source>
        <translation>Version: </translation>
    </message>
</context>
<context>
    <name>AgentMain</name>
    <message>
        <source>在锁屏、休眠前和会话结束时卸载已挂载的保护箱，按文件保护箱设置中的选择。</source>
        <translation>Unmounts your mounted boxes when the screen locks, before the computer sleeps and when the session ends, as chosen in the settings of File Boxes.</translation>
    </message>
    <message>
        <source>两次尝试卸载使用中的保护箱之间的秒数。</source>
        <translation>Seconds between two attempts to unmount a box that is in use.</translation>
    </message>
    <message>
        <source>秒数</source>
        <translation>seconds</translation>
    </message>
    <message>
        <source>--retry-seconds 需要一个正数</source>
        <translation>--retry-seconds needs a positive number</translation>
    </message>
</context>
<context>
    <name>AgentTray</name>
    <message>
        <source>文件保护箱</source>
        <translation>File Boxes</translation>
    </message>
    <message>
        <source>卸载 “%1”</source>
        <translation>Unmount “%1”</translation>
    </message>
    <message>
        <source>没有已挂载的保护箱</source>
        <translation>No box is mounted</translation>
    </message>
    <message>
        <source>全部卸载</source>
        <translation>Unmount all</translation>
    </message>
    <message>
        <source>打开文件保护箱</source>
        <translation>Open File Boxes</translation>
    </message>
</context>
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
    <message>
        <source>已加密</source>
        <translation>Encrypted</translation>
    </message>
</context>
<context>
    <name>BoxAvailability</name>
    <message>
        <source>当前系统不支持Venmora文件保护箱相关功能！</source>
        <translation>This system does not support Venmora file boxes!</translation>
    </message>
    <message>
        <source>初始化Venmora文件保护箱模块失败！</source>
        <translation>Could not initialise the Venmora file box service!</translation>
    </message>
</context>
<context>
    <name>BoxCli</name>
    <message>
        <source>文件描述符 %1 未打开</source>
        <translation>File descriptor %1 is not open</translation>
    </message>
    <message>
        <source>无效的参数 “%1”</source>
        <translation>Invalid argument “%1”</translation>
    </message>
</context>
<context>
    <name>BoxCommandLine</name>
    <message>
        <source>选项 --password-fd 需要一个文件描述符编号</source>
        <translation>The option --password-fd needs a file descriptor number</translation>
    </message>
    <message>
        <source>缺少子命令</source>
        <translation>A subcommand is missing</translation>
    </message>
    <message>
        <source>未知的选项 %1</source>
        <translation>Unknown option %1</translation>
    </message>
    <message>
        <source>未知的子命令 “%1”</source>
        <translation>Unknown subcommand “%1”</translation>
    </message>
    <message>
        <source>子命令 %1 不接受选项 %2</source>
        <translation>The subcommand %1 does not take the option %2</translation>
    </message>
    <message>
        <source>缺少参数 %1</source>
        <translation>The argument %1 is missing</translation>
    </message>
    <message>
        <source>多余的参数 “%1”</source>
        <translation>Unexpected argument “%1”</translation>
    </message>
    <message>
        <source>参数不可为空</source>
        <translation>Arguments must not be empty</translation>
    </message>
    <message>
        <source>选项 --json 和 --names 不能同时使用</source>
        <translation>The options --json and --names cannot be used together</translation>
    </message>
    <message>
        <source>须指定 --read-only 或 --read-write 之一</source>
        <translation>Give one of --read-only or --read-write</translation>
    </message>
    <message>
        <source>无效的文件描述符 “%1”</source>
        <translation>Invalid file descriptor “%1”</translation>
    </message>
    <message>
        <source>用法：%1</source>
        <translation>Usage: %1</translation>
    </message>
    <message>
        <source>运行 “%1 %2 --help” 查看帮助。</source>
        <translation>Run “%1 %2 --help” for help.</translation>
    </message>
    <message>
        <source>用法：</source>
        <translation>Usage:</translation>
    </message>
    <message>
        <source>运行 “%1 --help” 查看帮助。</source>
        <translation>Run “%1 --help” for help.</translation>
    </message>
</context>
<context>
    <name>BoxCommands</name>
    <message>
        <source>保护箱 “%1” 不存在！</source>
        <translation>Box “%1” does not exist!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 未加密！</source>
        <translation>Box “%1” is not encrypted!</translation>
    </message>
    <message>
        <source>新密码：</source>
        <translation>New password:</translation>
    </message>
    <message>
        <source>再次输入新密码：</source>
        <translation>New password again:</translation>
    </message>
    <message>
        <source>新密码不可为空！</source>
        <translation>The new password must not be empty!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 的密码：</source>
        <translation>Password of box “%1”:</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>共享</source>
        <translation>Shared</translation>
    </message>
    <message>
        <source>所有者</source>
        <translation>Owner</translation>
    </message>
    <message>
        <source>路径</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>已挂载</source>
        <translation>Mounted</translation>
    </message>
    <message>
        <source>已加密</source>
        <translation>Encrypted</translation>
    </message>
    <message>
        <source>未加密</source>
        <translation>not encrypted</translation>
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
        <source>正在加密…</source>
        <translation>Encrypting…</translation>
    </message>
    <message>
        <source>删除未加密的保护箱须在终端上确认，或加上 --yes</source>
        <translation>Deleting a box that is not encrypted needs a confirmation on a terminal, or --yes</translation>
    </message>
    <message>
        <source>删除操作不可逆，是否确认删除保护箱 “%1” ？</source>
        <translation>Deleting cannot be undone. Delete box “%1”?</translation>
    </message>
    <message>
        <source>未删除保护箱 “%1” 。</source>
        <translation>Box “%1” was not deleted.</translation>
    </message>
    <message>
        <source>保护箱 “%1” 已加密！</source>
        <translation>Box “%1” is already encrypted!</translation>
    </message>
    <message>
        <source>正在解密…</source>
        <translation>Decrypting…</translation>
    </message>
    <message>
        <source>当前密码：</source>
        <translation>Current password:</translation>
    </message>
    <message>
        <source>正在修改密码…</source>
        <translation>Changing the password…</translation>
    </message>
    <message>
        <source>用户 “%1” 不存在！</source>
        <translation>User “%1” does not exist!</translation>
    </message>
    <message>
        <source>不能把保护箱共享给用户 “%1” ！</source>
        <translation>The box cannot be shared with user “%1”!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 没有共享给用户 “%2” ！</source>
        <translation>Box “%1” is not shared with user “%2”!</translation>
    </message>
    <message>
        <source>用户</source>
        <translation>User</translation>
    </message>
    <message>
        <source>权限</source>
        <translation>Permission</translation>
    </message>
    <message>
        <source>用 %1 recovery-key %2 查看恢复密钥。</source>
        <translation>Run %1 recovery-key %2 to see the recovery key.</translation>
    </message>
    <message>
        <source>无法读取恢复密钥；稍后用 %1 recovery-key %2 查看。</source>
        <translation>Could not read the recovery key; see it later with %1 recovery-key %2.</translation>
    </message>
    <message>
        <source>保护箱 “%1” 的恢复密钥（只显示这一次）：</source>
        <translation>Recovery key of box “%1” (shown this once):</translation>
    </message>
    <message>
        <source>读取保护箱 “%1” 的恢复密钥失败！</source>
        <translation>Could not read the recovery key of box “%1”!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 的恢复密钥：</source>
        <translation>Recovery key of box “%1”: </translation>
    </message>
    <message>
        <source>正在设置新密码…</source>
        <translation>Setting the new password…</translation>
    </message>
    <message>
        <source>正在检查…</source>
        <translation>Checking…</translation>
    </message>
    <message>
        <source>保护箱 “%1” 检查失败！</source>
        <translation>Checking box “%1” failed!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 完好。</source>
        <translation>Box “%1” is sound.</translation>
    </message>
    <message>
        <source>保护箱 “%1” 中有 %2 个文件已损坏：</source>
        <translation>%2 file(s) in box “%1” are damaged:</translation>
    </message>
    <message>
        <source>正在导出…</source>
        <translation>Exporting…</translation>
    </message>
    <message>
        <source>保护箱 “%1” 导出失败！</source>
        <translation>Exporting box “%1” failed!</translation>
    </message>
    <message>
        <source>“%1” 的密码：</source>
        <translation>Password of “%1”: </translation>
    </message>
    <message>
        <source>正在导入…</source>
        <translation>Importing…</translation>
    </message>
    <message>
        <source>导入保护箱 “%1” 失败！</source>
        <translation>Importing box “%1” failed!</translation>
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
    <message>
        <source>权限：%1</source>
        <translation>Access: %1</translation>
    </message>
</context>
<context>
    <name>BoxOperations</name>
    <message>
        <source>密码不可为空！</source>
        <translation>The password must not be empty!</translation>
    </message>
    <message>
        <source>此版本的保护箱服务不能在空闲后自动卸载保护箱！</source>
        <translation>This version of the box service cannot unmount boxes automatically when idle!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 已加密！</source>
        <translation>Box “%1” is already encrypted!</translation>
    </message>
</context>
<context>
    <name>BoxOutcomes</name>
    <message>
        <source>创建保护箱失败！</source>
        <translation>Could not create the box!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 删除失败！</source>
        <translation>Could not delete box “%1”!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 重命名失败！</source>
        <translation>Could not rename box “%1”!</translation>
    </message>
    <message>
        <source>保护箱挂载失败，请检查</source>
        <translation>Could not mount the box, please check</translation>
    </message>
    <message>
        <source>保护箱 “%1” 卸载失败！</source>
        <translation>Could not unmount box “%1”!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 创建密码保护失败！</source>
        <translation>Could not protect box “%1” with a password!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 密码修改失败！</source>
        <translation>Could not change the password of box “%1”!</translation>
    </message>
    <message>
        <source>解除保护箱 “%1” 密码保护失败！</source>
        <translation>Could not remove the password protection of box “%1”!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 设置共享权限失败！</source>
        <translation>Could not set the share permissions of box “%1”!</translation>
    </message>
    <message>
        <source>读取保护箱列表失败！</source>
        <translation>Could not read the list of boxes!</translation>
    </message>
    <message>
        <source>加载共享用户列表失败！</source>
        <translation>Could not load the list of users to share with!</translation>
    </message>
    <message>
        <source>无法删除，请先卸载保护箱 “%1” ！</source>
        <translation>Cannot delete: unmount box “%1” first!</translation>
    </message>
    <message>
        <source>无法进行重命名操作，请先卸载保护箱 “%1” ！</source>
        <translation>Cannot rename: unmount box “%1” first!</translation>
    </message>
    <message>
        <source>无法进行密码设置，请先卸载保护箱 “%1” ！</source>
        <translation>Cannot change the password settings: unmount box “%1” first!</translation>
    </message>
    <message>
        <source>无法进行共享设置，请先卸载保护箱 “%1” ！</source>
        <translation>Cannot change the share settings: unmount box “%1” first!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 已挂载！</source>
        <translation>Box “%1” is mounted!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 已挂载，请先卸载！</source>
        <translation>Box “%1” is mounted; unmount it first!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 未挂载！</source>
        <translation>Box “%1” is not mounted!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 未加密！</source>
        <translation>Box “%1” is not encrypted!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 属于其他用户！</source>
        <translation>Box “%1” belongs to another user!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 由其所有者 %2 挂载，只有其所有者可以卸载！</source>
        <translation>The box “%1” is mounted by its owner %2; only the owner can unmount it!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 正由其他用户挂载，请待其卸载后重试！</source>
        <translation>Another account has the box “%1” mounted; try again once it is unmounted!</translation>
    </message>
    <message>
        <source>密码认证失败，请确认密码后重新认证</source>
        <translation>Wrong password. Check the password and try again</translation>
    </message>
    <message>
        <source>保护箱 “%1” 设置共享权限成功！</source>
        <translation>The share permissions of box “%1” are set!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 部分用户权限共享失败，请重新共享！</source>
        <translation>Box “%1” could not be shared with some users. Please share it again!</translation>
    </message>
    <message>
        <source>：</source>
        <extracomment>Joins a failure and its reason on one line; in English &quot;: &quot;.</extracomment>
        <translation>: </translation>
    </message>
    <message>
        <source>另一项保护箱操作正在进行，请稍后再试！</source>
        <translation>Another box operation is under way. Please try again later!</translation>
    </message>
    <message>
        <source>正在等待本账户的另一项保护箱操作结束……</source>
        <translation>Waiting for another box operation of this account to end…</translation>
    </message>
    <message>
        <source>保护箱 “%1” 由用户 %2 挂载，只有该用户可以卸载！</source>
        <translation>The box “%1” is mounted by %2; only that account can unmount it!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 正由用户 %2 挂载，请待其卸载后重试！</source>
        <translation>%2 has the box “%1” mounted; try again once it is unmounted!</translation>
    </message>
</context>
<context>
    <name>BoxReasons</name>
    <message>
        <source>密码不正确！</source>
        <translation>Wrong password!</translation>
    </message>
    <message>
        <source>保护箱中有文件正在使用，请关闭后重试！</source>
        <translation>Files in the box are in use. Close them and try again!</translation>
    </message>
    <message>
        <source>已存在同名的保护箱！</source>
        <translation>A box with this name already exists!</translation>
    </message>
    <message>
        <source>磁盘空间不足！</source>
        <translation>Not enough disk space!</translation>
    </message>
    <message>
        <source>密码过长，最多%1个字节！</source>
        <translation>The password is too long: at most %1 bytes!</translation>
    </message>
    <message>
        <source>保护箱不存在！</source>
        <translation>The box does not exist!</translation>
    </message>
    <message>
        <source>保护箱已挂载，请先卸载！</source>
        <translation>The box is mounted; unmount it first!</translation>
    </message>
    <message>
        <source>保护箱中有其他用户留下的文件，请先移除！</source>
        <translation>The box holds files that other users left there; remove them first!</translation>
    </message>
    <message>
        <source>保护箱中有其他用户留下的文件 “%1”，请先移除！</source>
        <translation>The box holds the file “%1” that another user left there; remove it first!</translation>
    </message>
    <message>
        <source>保护箱已损坏，其他保护箱不受影响！</source>
        <translation>The box is damaged; other boxes are not affected!</translation>
    </message>
    <message>
        <source>加密工具 gocryptfs 或 fusermount3 缺失或无法运行！</source>
        <translation>The encryption tools gocryptfs or fusermount3 are missing or cannot run!</translation>
    </message>
    <message>
        <source>没有进行此操作的权限！</source>
        <translation>You are not allowed to do this!</translation>
    </message>
    <message>
        <source>恢复密钥不正确或不完整，密码未更改！</source>
        <translation>The recovery key is wrong or incomplete; the password was not changed!</translation>
    </message>
    <message>
        <source>这不是导出的保护箱，也不是 gocryptfs 加密文件夹！</source>
        <translation>This is neither an exported box nor a gocryptfs folder!</translation>
    </message>
    <message>
        <source>其他用户已挂载此保护箱，请待其卸载后重试！</source>
        <translation>Another user has this box mounted; try again once they have unmounted it!</translation>
    </message>
    <message>
        <source>用户 “%1” 已挂载此保护箱，请待其卸载后重试！</source>
        <translation>The user “%1” has this box mounted; try again once they have unmounted it!</translation>
    </message>
    <message>
        <source>其他用户留下的 “%1” 无法删除，已移到只有管理员能访问的位置！</source>
        <translation>“%1”, left by another user, could not be deleted and was moved where only an administrator can reach it!</translation>
    </message>
</context>
<context>
    <name>BoxRecovery</name>
    <message>
        <source>当前的保护箱服务不支持此功能！</source>
        <translation>The box service in use does not offer this!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 属于其他用户！</source>
        <translation>Box “%1” belongs to another user!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 未加密！</source>
        <translation>Box “%1” is not encrypted!</translation>
    </message>
    <message>
        <source>密码不可为空！</source>
        <translation>The password must not be empty!</translation>
    </message>
    <message>
        <source>恢复密钥不可为空！</source>
        <translation>The recovery key must not be empty!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 已挂载，请先卸载！</source>
        <translation>Box “%1” is mounted; unmount it first!</translation>
    </message>
    <message>
        <source>请选择导出的文件！</source>
        <translation>Choose the file to export to!</translation>
    </message>
    <message>
        <source>文件 “%1” 已存在！</source>
        <translation>The file “%1” already exists!</translation>
    </message>
    <message>
        <source>保护箱名称不可为空！</source>
        <translation>The box name must not be empty!</translation>
    </message>
    <message>
        <source>任何拿到恢复密钥的人都能打开此保护箱。请把它抄写或保存在安全的地方，不要与他人分享。忘记密码时，凭它可以设置新密码。</source>
        <translation>Whoever has the recovery key can open this box. Write it down or keep it in a safe place, and share it with nobody. If you forget the password, it lets you set a new one.</translation>
    </message>
    <message>
        <source>保护箱 “%1” 是空的，无法核对恢复密钥；新密码已设置。</source>
        <translation>Box “%1” is empty, so the recovery key could not be checked; the new password is set.</translation>
    </message>
</context>
<context>
    <name>BoxStateText</name>
    <message>
        <source>仅读取</source>
        <translation>Read only</translation>
    </message>
    <message>
        <source>可读写</source>
        <translation>Read and write</translation>
    </message>
    <message>
        <source>由所有者 %1 挂载</source>
        <translation>mounted by its owner %1</translation>
    </message>
    <message>
        <source>由其他用户挂载</source>
        <translation>mounted by another account</translation>
    </message>
    <message>
        <source>由用户 %1 挂载</source>
        <translation>mounted by %1</translation>
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
    <message>
        <source>权限</source>
        <translation>Access</translation>
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
    <message>
        <source>权限</source>
        <translation>Access</translation>
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
        <translation>Current</translation>
    </message>
    <message>
        <source>新密码</source>
        <translation>New</translation>
    </message>
    <message>
        <source>新密码确认</source>
        <translation>Confirm</translation>
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
        <source>确认密码不可为空</source>
        <translation>The password confirmation must not be empty</translation>
    </message>
    <message>
        <source>正在修改密码…</source>
        <translation>Changing the password…</translation>
    </message>
    <message>
        <source>正在解密…</source>
        <translation>Decrypting…</translation>
    </message>
    <message>
        <source>恢复密钥</source>
        <translation>Recovery key</translation>
    </message>
    <message>
        <source>完整性检查</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>请先输入当前密码</source>
        <translation>Enter the current password first</translation>
    </message>
    <message>
        <source>正在读取恢复密钥…</source>
        <translation>Reading the recovery key…</translation>
    </message>
    <message>
        <source>密码认证失败，请确认密码后重新认证</source>
        <translation>Wrong password. Check the password and try again</translation>
    </message>
    <message>
        <source>读取保护箱 “%1” 的恢复密钥失败！</source>
        <translation>Could not read the recovery key of box “%1”!</translation>
    </message>
    <message>
        <source>正在检查…</source>
        <translation>Checking…</translation>
    </message>
    <message>
        <source>保护箱 “%1” 检查失败！</source>
        <translation>Checking box “%1” failed!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 完好。</source>
        <translation>Box “%1” is sound.</translation>
    </message>
    <message>
        <source>保护箱 “%1” 中有 %2 个文件已损坏：</source>
        <translation>%2 file(s) in box “%1” are damaged:</translation>
    </message>
    <message>
        <source>……</source>
        <translation>…</translation>
    </message>
</context>
<context>
    <name>CliCommand</name>
    <message>
        <source>列出自己的保护箱和他人共享给你的保护箱</source>
        <translation>List your boxes and the boxes others share with you</translation>
    </message>
    <message>
        <source>创建保护箱；带 --encrypt 时创建加密保护箱并设置密码</source>
        <translation>Create a box; with --encrypt, an encrypted box with a password</translation>
    </message>
    <message>
        <source>删除保护箱及其中的文件，不可恢复；加密保护箱须输入密码，未加密的须确认</source>
        <translation>Delete a box and its files for good; an encrypted box needs its password, any other a confirmation</translation>
    </message>
    <message>
        <source>重命名保护箱；加密保护箱须输入密码</source>
        <translation>Rename a box; an encrypted box needs its password</translation>
    </message>
    <message>
        <source>为未加密的保护箱设置密码并加密其中的文件</source>
        <translation>Give a box that is not encrypted a password and encrypt its files</translation>
    </message>
    <message>
        <source>解除保护箱的密码保护</source>
        <translation>Remove the password protection of a box</translation>
    </message>
    <message>
        <source>修改保护箱的密码</source>
        <translation>Change the password of a box</translation>
    </message>
    <message>
        <source>用密码挂载（解锁）加密保护箱，并输出其路径</source>
        <translation>Mount (unlock) an encrypted box with its password and print its path</translation>
    </message>
    <message>
        <source>卸载（锁定）保护箱</source>
        <translation>Unmount (lock) a box</translation>
    </message>
    <message>
        <source>把保护箱共享给用户，只读或可读写</source>
        <translation>Share a box with a user, read-only or read-write</translation>
    </message>
    <message>
        <source>取消保护箱对用户的共享</source>
        <translation>Stop sharing a box with a user</translation>
    </message>
    <message>
        <source>列出保护箱共享给了哪些用户</source>
        <translation>List the users a box is shared with</translation>
    </message>
    <message>
        <source>以 JSON 格式输出</source>
        <translation>Print JSON</translation>
    </message>
    <message>
        <source>创建加密保护箱，密码从终端或标准输入读取</source>
        <translation>Create an encrypted box; the password is read from the terminal or standard input</translation>
    </message>
    <message>
        <source>不询问，直接删除未加密的保护箱</source>
        <translation>Delete a box that is not encrypted without asking</translation>
    </message>
    <message>
        <source>只读共享</source>
        <translation>Share read-only</translation>
    </message>
    <message>
        <source>可读写共享</source>
        <translation>Share read-write</translation>
    </message>
    <message>
        <source>从文件描述符 N 读取密码，每行一个</source>
        <translation>Read passwords from file descriptor N, one per line</translation>
    </message>
    <message>
        <source>只输出名称，每行一个；他人的保护箱写作 所有者/名称</source>
        <translation>Print only names, one per line; other users&apos; boxes as owner/name</translation>
    </message>
    <message>
        <source>用法：%1</source>
        <translation>Usage: %1</translation>
    </message>
    <message>
        <source>他人共享给你的保护箱写作 所有者/名称。</source>
        <translation>Boxes that others share with you are written owner/name.</translation>
    </message>
    <message>
        <source>选项：</source>
        <translation>Options:</translation>
    </message>
    <message>
        <source>显示本帮助</source>
        <translation>Show this help</translation>
    </message>
    <message>
        <source>用法：%1 子命令 [参数…] [选项…]</source>
        <translation>Usage: %1 subcommand [arguments…] [options…]</translation>
    </message>
    <message>
        <source>在命令行管理保护箱。</source>
        <translation>Manage file boxes on the command line.</translation>
    </message>
    <message>
        <source>子命令：</source>
        <translation>Subcommands:</translation>
    </message>
    <message>
        <source>显示帮助；放在子命令后显示该子命令的帮助</source>
        <translation>Show help; after a subcommand, the help of that subcommand</translation>
    </message>
    <message>
        <source>显示版本</source>
        <translation>Show the version</translation>
    </message>
    <message>
        <source>密码从终端读取且不回显，新密码须输入两次；标准输入不是终端时，每个所需的密码从标准输入读取一行，新密码只读一次。</source>
        <translation>Passwords are read from the terminal without echo, and new passwords are typed twice; when standard input is not a terminal, each password needed is one line of standard input, and a new password is read once.</translation>
    </message>
    <message>
        <source>退出状态：0 成功，1 操作失败，2 用法错误。</source>
        <translation>Exit status: 0 success, 1 the operation failed, 2 usage error.</translation>
    </message>
    <message>
        <source>用密码显示加密保护箱的恢复密钥</source>
        <translation>Show the recovery key of an encrypted box, with its password</translation>
    </message>
    <message>
        <source>忘记密码时，用恢复密钥为保护箱设置新密码</source>
        <translation>Set a new password with the recovery key when the password is forgotten</translation>
    </message>
    <message>
        <source>检查加密保护箱的每个文件是否完好，列出损坏的文件；不做任何更改</source>
        <translation>Check every file of an encrypted box and list the damaged ones; changes nothing</translation>
    </message>
    <message>
        <source>把加密保护箱的密文导出到一个归档文件，用于备份或迁移</source>
        <translation>Export the encrypted form of a box to one archive, for a backup or a move</translation>
    </message>
    <message>
        <source>把导出的归档或 gocryptfs 加密文件夹导入为加密保护箱</source>
        <translation>Import an exported archive or a gocryptfs folder as an encrypted box</translation>
    </message>
    <message>
        <source>移动文件夹而不是复制</source>
        <translation>Move the folder instead of copying it</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>管理当前用户的文件保护箱：可加密、挂载、共享的私有文件夹。</source>
        <translation>Manage the current user&apos;s file boxes: private folders that can be encrypted, mounted and shared.</translation>
    </message>
    <message>
        <source>环境变量 BOX_SERVICE_ROOT 指定保护箱根目录（默认 /box）。</source>
        <translation>The environment variable BOX_SERVICE_ROOT names the box root (default /box).</translation>
    </message>
    <message>
        <source>多余的参数：%1</source>
        <translation>Unexpected arguments: %1</translation>
    </message>
    <message>
        <source>用 --help 查看可用的选项。</source>
        <translation>Use --help to see the options.</translation>
    </message>
    <message>
        <source>未知的选项：%1</source>
        <translation>Unknown option: %1</translation>
    </message>
</context>
<context>
    <name>CreateBoxDialog</name>
    <message>
        <source>创建保护箱</source>
        <translation>Create a box</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>路径</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>是否加密</source>
        <translation>Encrypted</translation>
    </message>
    <message>
        <source>密码</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>确认密码</source>
        <translation>Confirm</translation>
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
        <source>正在加密…</source>
        <translation>Encrypting…</translation>
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
        <translation>Confirm</translation>
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
        <source>正在加密…</source>
        <translation>Encrypting…</translation>
    </message>
</context>
<context>
    <name>ForgotPasswordDialog</name>
    <message>
        <source>忘记密码</source>
        <translation>Forgot password</translation>
    </message>
    <message>
        <source>用恢复密钥设置新密码</source>
        <translation>Set a new password with the recovery key</translation>
    </message>
    <message>
        <source>保护箱: %1</source>
        <translation>Box: %1</translation>
    </message>
    <message>
        <source>恢复密钥</source>
        <translation>Recovery key</translation>
    </message>
    <message>
        <source>64 位，空格可省略</source>
        <translation>64 digits; spaces optional</translation>
    </message>
    <message>
        <source>新密码</source>
        <translation>New</translation>
    </message>
    <message>
        <source>新密码确认</source>
        <translation>Confirm</translation>
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
        <source>正在核对恢复密钥…</source>
        <translation>Checking the recovery key…</translation>
    </message>
    <message>
        <source>新密码已设置，请用新密码挂载保护箱。</source>
        <translation>The new password is set. Mount the box with it.</translation>
    </message>
    <message>
        <source>保护箱 “%1” 密码修改失败！</source>
        <translation>Could not change the password of box “%1”!</translation>
    </message>
</context>
<context>
    <name>LockAgent</name>
    <message>
        <source>保护箱中有文件正在使用。</source>
        <translation>Files in the box are in use.</translation>
    </message>
    <message>
        <source>保护箱 “%1” 暂未卸载</source>
        <translation>Box “%1” is not unmounted yet</translation>
    </message>
    <message>
        <source>将自动重试卸载。</source>
        <translation>The agent keeps trying to unmount it.</translation>
    </message>
    <message>
        <source>保护箱 “%1” 已卸载</source>
        <translation>Box “%1” is unmounted</translation>
    </message>
    <message>
        <source>其中的文件关闭后，保护箱已卸载。</source>
        <translation>Its files were closed and the box is unmounted now.</translation>
    </message>
    <message>
        <source>保护箱 “%1” 仍处于挂载状态</source>
        <translation>Box “%1” is still mounted</translation>
    </message>
    <message>
        <source>已停止尝试卸载。请关闭其中的文件后手动卸载。</source>
        <translation>The agent stopped trying. Close the files in it, then unmount it yourself.</translation>
    </message>
</context>
<context>
    <name>LockSettingsDialog</name>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>已挂载的保护箱自动卸载</source>
        <translation>Unmount mounted boxes automatically</translation>
    </message>
    <message>
        <source>锁屏时卸载</source>
        <translation>When the screen locks</translation>
    </message>
    <message>
        <source>休眠前卸载</source>
        <translation>Before the computer sleeps</translation>
    </message>
    <message>
        <source>注销时卸载</source>
        <translation>When I log out</translation>
    </message>
    <message>
        <source>空闲后自动卸载</source>
        <translation>After being idle</translation>
    </message>
    <message>
        <source> 分钟</source>
        <translation> min</translation>
    </message>
    <message>
        <source>空闲时间（分钟）</source>
        <translation>Idle time (minutes)</translation>
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
        <source>设置保存失败！</source>
        <translation>Could not save the settings!</translation>
    </message>
    <message>
        <source>空闲指保护箱中没有任何文件被访问，与键盘和鼠标无关。</source>
        <translation>Idle means no file in the box was touched; the keyboard and mouse do not count.</translation>
    </message>
    <message>
        <source>修改的空闲时间对已挂载的保护箱在其下次挂载时生效。</source>
        <translation>A changed idle time applies to a mounted box from its next mount.</translation>
    </message>
</context>
<context>
    <name>MainMenu</name>
    <message>
        <source>帮助手册</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
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
    <name>NameEncoding</name>
    <message>
        <source>名称须为有效的 UTF-8 文本！</source>
        <translation>A name must be valid UTF-8 text!</translation>
    </message>
</context>
<context>
    <name>NamePolicy</name>
    <message>
        <source>保护箱新名称不可为空</source>
        <translation>The new box name must not be empty</translation>
    </message>
    <message>
        <source>保护箱名称不可为空</source>
        <translation>The box name must not be empty</translation>
    </message>
    <message>
        <source>保护箱名称不是有效的 UTF-8 文本</source>
        <translation>The box name is not valid UTF-8 text</translation>
    </message>
    <message>
        <source>保护箱名称不能以 “.” 开头</source>
        <translation>The box name must not begin with “.”</translation>
    </message>
    <message>
        <source>保护箱名称不能包含 “/”</source>
        <translation>The box name must not contain “/”</translation>
    </message>
    <message>
        <source>保护箱名称不能包含制表符、换行符等控制字符</source>
        <translation>The box name must not contain tabs, line breaks or other control characters</translation>
    </message>
    <message>
        <source>保护箱名称最长 %1 个字符</source>
        <translation>The box name can have at most %1 characters</translation>
    </message>
</context>
<context>
    <name>PasswordAuthenticDialog</name>
    <message>
        <source>密码认证</source>
        <translation>Password check</translation>
    </message>
    <message>
        <source>保护箱挂载</source>
        <translation>Mount box</translation>
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
        <source>正在挂载…</source>
        <translation>Mounting…</translation>
    </message>
    <message>
        <source>正在验证密码…</source>
        <translation>Checking the password…</translation>
    </message>
    <message>
        <source>忘记密码？</source>
        <translation>Forgot password?</translation>
    </message>
</context>
<context>
    <name>PasswordPolicy</name>
    <message>
        <source>密码格式与要求不符</source>
        <translation>The password does not meet the requirements</translation>
    </message>
    <message>
        <source>新密码不可为空</source>
        <translation>The new password must not be empty</translation>
    </message>
    <message>
        <source>密码不可为空</source>
        <translation>The password must not be empty</translation>
    </message>
    <message>
        <source>新密码确认不可为空</source>
        <translation>The new password confirmation must not be empty</translation>
    </message>
    <message>
        <source>确认密码不可为空</source>
        <translation>The password confirmation must not be empty</translation>
    </message>
    <message>
        <source>密码和确认密码不一致</source>
        <translation>The password and its confirmation do not match</translation>
    </message>
    <message>
        <source>密码与确认密码不一致</source>
        <translation>The password and its confirmation do not match</translation>
    </message>
    <message>
        <source>新密码与确认密码不一致</source>
        <translation>The new password and its confirmation do not match</translation>
    </message>
    <message>
        <source>密码要求：密码长度%1-%2位，以字母开头，只能包含字母、数字和下划线</source>
        <translation>%1–%2 characters: a letter first, then letters, digits or _</translation>
    </message>
</context>
<context>
    <name>PasswordReader</name>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>没有读到密码！</source>
        <translation>No password was read!</translation>
    </message>
    <message>
        <source>密码过长，最多 %1 字节！</source>
        <translation>The password is too long: at most %1 bytes!</translation>
    </message>
    <message>
        <source>密码和确认密码不一致！</source>
        <translation>The password and its confirmation do not match!</translation>
    </message>
    <message>
        <source>密码含有无效的字符！</source>
        <translation>The password contains invalid characters!</translation>
    </message>
    <message>
        <source>无法读取密码！</source>
        <translation>Cannot read the password!</translation>
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
</context>
<context>
    <name>RecoveryKeyDialog</name>
    <message>
        <source>恢复密钥</source>
        <translation>Recovery key</translation>
    </message>
    <message>
        <source>保护箱 “%1” 的恢复密钥</source>
        <translation>Recovery key of box “%1”</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>保存到文件…</source>
        <translation>Save to file…</translation>
    </message>
    <message>
        <source>完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>已复制；一分钟后从剪贴板清除。</source>
        <translation>Copied; it leaves the clipboard again in a minute.</translation>
    </message>
    <message>
        <source>%1-恢复密钥.txt</source>
        <translation>%1-recovery-key.txt</translation>
    </message>
    <message>
        <source>保存恢复密钥</source>
        <translation>Save the recovery key</translation>
    </message>
    <message>
        <source>无法保存到 “%1”：%2</source>
        <translation>Could not save to “%1”: %2</translation>
    </message>
    <message>
        <source>已保存到 “%1”，只有你能读取。</source>
        <translation>Saved to “%1”; only you can read it.</translation>
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
        <source>保护箱密码不可为空</source>
        <translation>The box password must not be empty</translation>
    </message>
    <message>
        <source>正在验证密码…</source>
        <translation>Checking the password…</translation>
    </message>
</context>
<context>
    <name>RightButtonMenu</name>
    <message>
        <source>挂载</source>
        <translation>Mount</translation>
    </message>
    <message>
        <source>卸载</source>
        <translation>Unmount</translation>
    </message>
    <message>
        <source>共享</source>
        <translation>Share</translation>
    </message>
    <message>
        <source>重命名</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>密码设置</source>
        <translation>Password settings</translation>
    </message>
</context>
<context>
    <name>ServiceUnavailable</name>
    <message>
        <source>请管理员运行以下命令重新创建它：
%1</source>
        <translation>An administrator re-creates it with:
%1</translation>
    </message>
    <message>
        <source>请管理员运行以下命令创建它：
%1</source>
        <translation>An administrator creates it with:
%1</translation>
    </message>
    <message>
        <source>保护箱根目录 %1 已存在，但不是文件夹，须由管理员先移走。</source>
        <translation>The box root %1 exists but is not a folder; an administrator has to move it away first.</translation>
    </message>
    <message>
        <source>保护箱根目录 %1 不存在，当前帐户也无法创建它。</source>
        <translation>The box root %1 does not exist, and this account cannot create it.</translation>
    </message>
    <message>
        <source>保护箱根目录 %1 不存在，当前帐户也无法创建它。请创建该文件夹，或改用一个您能写入的文件夹（环境变量 BOX_SERVICE_ROOT）。</source>
        <translation>The box root %1 does not exist, and this account cannot create it. Create that folder, or use a folder you can write to (the environment variable BOX_SERVICE_ROOT).</translation>
    </message>
    <message>
        <source>当前帐户（uid %1）在用户数据库中没有记录，保护箱只能由有名称的帐户使用。</source>
        <translation>This account (uid %1) has no entry in the user database; only named accounts can have boxes.</translation>
    </message>
    <message>
        <source>您的保护箱文件夹不属于您或不是文件夹。请管理员移走 %1 中以您的登录名命名的项目，下次启动时会重新创建。</source>
        <translation>Your box folder belongs to another account or is not a folder. An administrator moves away the entry named after your login in %1; the next start creates it anew.</translation>
    </message>
    <message>
        <source>保护箱服务无法启动。</source>
        <translation>The box service could not start.</translation>
    </message>
    <message>
        <source>无法使用加密保护箱：未安装 gocryptfs。请管理员运行：
%1</source>
        <translation>Encrypted boxes are unavailable: gocryptfs is not installed. An administrator runs:
%1</translation>
    </message>
    <message>
        <source>无法使用加密保护箱：未安装 fusermount3。请管理员运行：
%1</source>
        <translation>Encrypted boxes are unavailable: fusermount3 is not installed. An administrator runs:
%1</translation>
    </message>
    <message>
        <source>无法使用加密保护箱：缺少 /dev/fuse。请管理员加载 FUSE 模块（%1），在容器中则须把该设备传入容器。</source>
        <translation>Encrypted boxes are unavailable: /dev/fuse is missing. An administrator loads the FUSE module (%1), or passes the device into the container.</translation>
    </message>
    <message>
        <source>无法使用加密保护箱：当前帐户不能打开 /dev/fuse。请管理员运行：
%1</source>
        <translation>Encrypted boxes are unavailable: this account may not open /dev/fuse. An administrator runs:
%1</translation>
    </message>
    <message>
        <source>没有管理员权限时，可以把保护箱放在您自己的文件夹 %1 中（只能共享给能访问该文件夹的帐户）。现在就使用该文件夹吗？</source>
        <translation>Without administrator rights, you can keep your boxes in a folder of your own, %1 (they can be shared only with accounts that can reach it). Use that folder now?</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>请勿使用su、sudo运行Venmora文件保护箱！</source>
        <translation>Do not run Venmora File Boxes through su or sudo!</translation>
    </message>
    <message>
        <source>无法创建文件夹 %1！</source>
        <translation>Could not create the folder %1!</translation>
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
    <name>UserManual</name>
    <message>
        <source>找不到用户手册！它应安装在 %1，请重新安装 vaultrane 软件包。</source>
        <translation>The user guide is missing! It belongs in %1; please reinstall the vaultrane package.</translation>
    </message>
    <message>
        <source>无法打开用户手册 %1！请安装 PDF 阅读器（例如 evince）。</source>
        <translation>Could not open the user guide %1! Please install a PDF viewer (evince, for example).</translation>
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
        <translation>Password</translation>
    </message>
    <message>
        <source>共享设置</source>
        <translation>Sharing</translation>
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
    <message>
        <source>保护箱: %1 项</source>
        <translation>Boxes: %1</translation>
    </message>
    <message>
        <source>保护箱：%1 (来自 %2)</source>
        <translation>Box: %1 (from %2)</translation>
    </message>
    <message>
        <source>保护箱：%1</source>
        <translation>Box: %1</translation>
    </message>
    <message>
        <source>保护箱已加密，请输入密码认证</source>
        <translation>The box is encrypted. Enter its password</translation>
    </message>
    <message>
        <source>请选择需要删除的保护箱！</source>
        <translation>Select the box to delete!</translation>
    </message>
    <message>
        <source>删除操作不可逆，是否确认删除保护箱 “%1” ？</source>
        <translation>Deleting cannot be undone. Delete box “%1”?</translation>
    </message>
    <message>
        <source>请选择需要挂载的保护箱！</source>
        <translation>Select the box to mount!</translation>
    </message>
    <message>
        <source>请选择需要卸载的保护箱！</source>
        <translation>Select the box to unmount!</translation>
    </message>
    <message>
        <source>请选择需要重命名的保护箱！</source>
        <translation>Select the box to rename!</translation>
    </message>
    <message>
        <source>请选择需要进行密码设置的保护箱！</source>
        <translation>Select the box whose password to set!</translation>
    </message>
    <message>
        <source>请选择需要进行共享设置的保护箱！</source>
        <translation>Select the box whose sharing to set!</translation>
    </message>
    <message>
        <source>正在删除…</source>
        <translation>Deleting…</translation>
    </message>
    <message>
        <source>无法读取保护箱列表！</source>
        <translation>Could not read the list of boxes!</translation>
    </message>
    <message>
        <source>保护箱 “%1” 已删除！</source>
        <translation>The box “%1” has been deleted!</translation>
    </message>
    <message>
        <source>%1，%2</source>
        <translation>%1, %2</translation>
    </message>
</context>
</TS>
