<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>corvane</name>
    <message>
        <source>自动</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>更多颜色...</source>
        <translation>More Colours...</translation>
    </message>
    <message>
        <source>黑色</source>
        <translation>Black</translation>
    </message>
    <message>
        <source>棕色</source>
        <translation>Brown</translation>
    </message>
    <message>
        <source>深橄榄绿</source>
        <translation>Dark Olive Green</translation>
    </message>
    <message>
        <source>深绿</source>
        <translation>Dark Green</translation>
    </message>
    <message>
        <source>深蓝绿</source>
        <translation>Dark Teal</translation>
    </message>
    <message>
        <source>深蓝</source>
        <translation>Dark Blue</translation>
    </message>
    <message>
        <source>紫蓝</source>
        <translation>Indigo</translation>
    </message>
    <message>
        <source>深灰</source>
        <translation>Dark Grey</translation>
    </message>
    <message>
        <source>深红</source>
        <translation>Dark Red</translation>
    </message>
    <message>
        <source>橙色</source>
        <translation>Orange</translation>
    </message>
    <message>
        <source>深黄</source>
        <translation>Dark Yellow</translation>
    </message>
    <message>
        <source>绿色</source>
        <translation>Green</translation>
    </message>
    <message>
        <source>蓝绿</source>
        <translation>Teal</translation>
    </message>
    <message>
        <source>蓝色</source>
        <translation>Blue</translation>
    </message>
    <message>
        <source>蓝灰</source>
        <translation>Blue Grey</translation>
    </message>
    <message>
        <source>灰色</source>
        <translation>Grey</translation>
    </message>
    <message>
        <source>红色</source>
        <translation>Red</translation>
    </message>
    <message>
        <source>浅橙色</source>
        <translation>Light Orange</translation>
    </message>
    <message>
        <source>石灰</source>
        <translation>Lime</translation>
    </message>
    <message>
        <source>海绿</source>
        <translation>Sea Green</translation>
    </message>
    <message>
        <source>碧绿</source>
        <translation>Aquamarine</translation>
    </message>
    <message>
        <source>浅蓝</source>
        <translation>Light Blue</translation>
    </message>
    <message>
        <source>紫罗兰</source>
        <translation>Violet</translation>
    </message>
    <message>
        <source>淡灰</source>
        <translation>Light Grey</translation>
    </message>
    <message>
        <source>粉色</source>
        <translation>Pink</translation>
    </message>
    <message>
        <source>金黄</source>
        <translation>Gold</translation>
    </message>
    <message>
        <source>黄色</source>
        <translation>Yellow</translation>
    </message>
    <message>
        <source>亮绿</source>
        <translation>Bright Green</translation>
    </message>
    <message>
        <source>蓝玉</source>
        <translation>Turquoise</translation>
    </message>
    <message>
        <source>天蓝</source>
        <translation>Sky Blue</translation>
    </message>
    <message>
        <source>李子</source>
        <translation>Plum</translation>
    </message>
    <message>
        <source>淡淡灰</source>
        <translation>Silver</translation>
    </message>
    <message>
        <source>玫瑰</source>
        <translation>Rose</translation>
    </message>
    <message>
        <source>黄褐色</source>
        <translation>Tan</translation>
    </message>
    <message>
        <source>浅黄</source>
        <translation>Light Yellow</translation>
    </message>
    <message>
        <source>淡绿</source>
        <translation>Pale Green</translation>
    </message>
    <message>
        <source>淡蓝玉</source>
        <translation>Pale Turquoise</translation>
    </message>
    <message>
        <source>淡蓝</source>
        <translation>Pale Blue</translation>
    </message>
    <message>
        <source>淡紫</source>
        <translation>Lavender</translation>
    </message>
    <message>
        <source>白色</source>
        <translation>White</translation>
    </message>
    <message>
        <source>开  始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>暂  停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>继  续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>停  止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>正在操作</source>
        <translation>Working</translation>
    </message>
    <message>
        <source>已暂停</source>
        <translation>Paused</translation>
    </message>
    <message>
        <source>已停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>操作失败！</source>
        <translation>Failed! </translation>
    </message>
    <message>
        <source>正在统计文件总数,请稍候... </source>
        <translation>Counting the files, please wait... </translation>
    </message>
    <message>
        <source>创建保存路径失败，请检查保存路径及确认磁盘状况，或者稍候重试。</source>
        <translation>Could not create the save folder: check the save path and the disk, or try again later.</translation>
    </message>
    <message>
        <source>操作全部完成！</source>
        <translation>All done!</translation>
    </message>
    <message>
        <source>操作部分完成！</source>
        <translation>Partly done! </translation>
    </message>
    <message>
        <source>因为内存不足，不能合并更多图片。</source>
        <translation>Not enough memory to join more pictures.</translation>
    </message>
    <message>
        <source>文件总数： %1  （其中有隐藏文件数： %2 ） </source>
        <translation>Files: %1  (hidden among them: %2) </translation>
    </message>
    <message>
        <source>已处理文件数： %1；     可识别图片文件数： %2；     已保存文件数： %3</source>
        <translation>Processed: %1;     pictures: %2;     saved: %3</translation>
    </message>
    <message>
        <source>；     应保存文件数： %1；</source>
        <translation>;     to save: %1;</translation>
    </message>
    <message>
        <source>     已合并图片数： %1；</source>
        <translation>     joined: %1;</translation>
    </message>
    <message>
        <source>保存文件中的部分图像信息已丢失。可能原因：源图过多或过大；&quot;切割&quot;/&quot;合并&quot;设置中的整数设置过大。</source>
        <translation>Part of the pictures is missing from the saved files. Possible causes: too many or too large source pictures; numbers too large in &quot;Cut&quot;/&quot;Join&quot;.</translation>
    </message>
    <message>
        <source>文件保存失败！可能原因：待保存图片太大，当前版本不能保存；或者磁盘空间不足等原因；</source>
        <translation>Saving failed! Possible causes: a picture too large for this version to save; or the disk is full;</translation>
    </message>
    <message>
        <source>可能原因：待保存的图片太大，当前版本不能保存。</source>
        <translation>Possible cause: a picture too large for this version to save.</translation>
    </message>
    <message>
        <source>可能原因：有些文件的信息没有获取到；合并后图片太大，当前版本不能保存。</source>
        <translation>Possible causes: some files could not be read; a joined picture too large for this version to save.</translation>
    </message>
    <message>
        <source>个字符( 自定义数字应在 %1 到 %2 之间 )</source>
        <translation>characters ( a number from %1 to %2 )</translation>
    </message>
    <message>
        <source>Nx1,每N张图水平合成一张<byte value="xd"/>
1xN,每N张图垂直合成一张<byte value="xd"/>
NxM,每NxM张纵横合成一张</source>
        <translation>Nx1: N in one row<byte value="xd"/>
1xN: N in one column<byte value="xd"/>
NxM: NxM in one grid</translation>
    </message>
    <message>
        <source>支持单边约束：允许填写宽或高为0。填0的宽或高会根据原图比例重新计算，非0的宽或高则缩小成指定值。</source>
        <translation>One side may be 0: a width or height of 0 follows the picture&apos;s proportions; any other value is the size the picture is reduced to.</translation>
    </message>
    <message>
        <source>如果宽高中较大的一个超过指定值，则缩小之，但宽高比例不变。</source>
        <translation>When the larger of width and height is above the value, the picture is reduced to it, keeping its proportions.</translation>
    </message>
    <message>
        <source>按原图格式保存，允许缩放等操作。对于可读取但暂不支持保存的格式，默认保存成PNG格式。</source>
        <translation>Saves in the source&apos;s own format; operations such as resizing apply. A format that can be read but not written is saved as PNG.</translation>
    </message>
    <message>
        <source>直接拷贝原图，不做任何修改。</source>
        <translation>Copies the source files unchanged.</translation>
    </message>
    <message>
        <source>( 比如, &quot;某文件.PNG&quot; 会被存成 &quot;%1某文件.PNG&quot; )</source>
        <translation>( e.g. &quot;file.PNG&quot; is saved as &quot;%1file.PNG&quot; )</translation>
    </message>
    <message>
        <source>( 比如, &quot;某文件.PNG&quot; 会被存成 &quot;某文件%1.PNG&quot; )</source>
        <translation>( e.g. &quot;file.PNG&quot; is saved as &quot;file%1.PNG&quot; )</translation>
    </message>
    <message>
        <source>已选文件数：  %1  ， 已选文件夹数：  %2</source>
        <translation>Selected:  %1 files,  %2 folders</translation>
    </message>
    <message>
        <source>文件夹列表：</source>
        <translation>Folders:</translation>
    </message>
    <message>
        <source>回车键，开始/暂停操作；<byte value="xd"/>
ESC键，停止操作。</source>
        <translation>Enter: start/pause;<byte value="xd"/>
Esc: stop.</translation>
    </message>
    <message>
        <source>小窍门：单边约束（按尺寸缩放的时候，允许填写宽或高为0。填0的宽或高会根据原图比例重新计算，非0的宽或高则缩小成指定值。）</source>
        <translation>Tip: one side may be 0 (when scaling by size, a width or height of 0 follows the picture&apos;s proportions; any other value is the size the picture is reduced to.)</translation>
    </message>
    <message>
        <source>程序初始化失败！</source>
        <translation>The program could not be initialised!</translation>
    </message>
    <message>
        <source>直接拷贝模式下，不允许勾选任何操作（包括旋转，缩放，切割，合并，加水印）。</source>
        <translation>A plain copy allows no operation (&quot;Turn&quot;, &quot;Scale&quot;, &quot;Cut&quot;, &quot;Join&quot;, &quot;Stamp&quot;).</translation>
    </message>
    <message>
        <source>请输入正确的 旋转角度 数值。</source>
        <translation>Please enter a valid rotation angle.</translation>
    </message>
    <message>
        <source>请输入大于零的 缩放比例数</source>
        <translation>Please enter a scale ratio above zero.</translation>
    </message>
    <message>
        <source>图像缩放的宽高，不能同时为零。</source>
        <translation>The width and height of scaling cannot both be zero.</translation>
    </message>
    <message>
        <source>请输入大于-1的 图像缩放 宽度，并且输入数值不能含有小数点。</source>
        <translation>Please enter a whole number of 0 or more as the scaling width.</translation>
    </message>
    <message>
        <source>请输入大于-1的 图像缩放 高度，并且输入数值不能含有小数点。</source>
        <translation>Please enter a whole number of 0 or more as the scaling height.</translation>
    </message>
    <message>
        <source>请输入大于零的 大边约束 数值。</source>
        <translation>Please enter a max edge above zero.</translation>
    </message>
    <message>
        <source>请输入大于零的 %1，并且输入数值不能含有小数点。</source>
        <translation>Please enter a whole number above zero as %1.</translation>
    </message>
    <message>
        <source>图像切割 水平模块数</source>
        <translation>cut: pieces across</translation>
    </message>
    <message>
        <source>图像切割 垂直模块数</source>
        <translation>cut: pieces down</translation>
    </message>
    <message>
        <source>图像切割 单元格的宽</source>
        <translation>cut: piece width</translation>
    </message>
    <message>
        <source>图像切割 单元格的高</source>
        <translation>cut: piece height</translation>
    </message>
    <message>
        <source>图像合并 水平模块数</source>
        <translation>join: pictures across</translation>
    </message>
    <message>
        <source>图像合并 垂直模块数</source>
        <translation>join: pictures down</translation>
    </message>
    <message>
        <source>请填写 水印文字。</source>
        <translation>Please fill in the watermark text.</translation>
    </message>
    <message>
        <source>请填写或选择正确的  水印图片的路径。</source>
        <translation>Please enter or choose a valid watermark picture path.</translation>
    </message>
    <message>
        <source>请填写 文件重名时 添加的%1。</source>
        <translation>Please fill in the %1 added on a name clash.</translation>
    </message>
    <message>
        <source>请填写 文件重名时 添加的%1，并且%1不能含有路径分隔符或“..”。</source>
        <translation>Please fill in the %1 added on a name clash; it cannot hold a path separator or &quot;..&quot;.</translation>
    </message>
    <message>
        <source>前缀名</source>
        <translation>prefix</translation>
    </message>
    <message>
        <source>后缀名</source>
        <translation>suffix</translation>
    </message>
    <message>
        <source>请选择 文件重名时 的操作策略。</source>
        <translation>Please choose what to do on a name clash.</translation>
    </message>
    <message>
        <source>文件名长度限制数字应该在 %1 到 %2 之间。</source>
        <translation>The file name length limit must be between %1 and %2.</translation>
    </message>
    <message>
        <source>水印图片不是有效的图片，或者水印图片的图像格式目前不能识别。请重新指定水印图片的路径。</source>
        <translation>The watermark picture is not a valid picture, or its format cannot be read yet. Please choose the watermark picture again.</translation>
    </message>
    <message>
        <source>请填写或选择正确的  打开路径。</source>
        <translation>Please enter or choose a valid source path.</translation>
    </message>
    <message>
        <source>请填写或选择正确的  保存路径。</source>
        <translation>Please enter or choose a valid save path.</translation>
    </message>
    <message>
        <source>选择单个文件夹</source>
        <translation>Choose a Folder</translation>
    </message>
    <message>
        <source>选择多个文件和文件夹</source>
        <translation>Choose Files and Folders</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>修改日期</source>
        <translation>Date Modified</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>%1 文件</source>
        <translation>%1 File</translation>
    </message>
    <message>
        <source>文件夹</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>查找范围：</source>
        <translation>Look in:</translation>
    </message>
    <message>
        <source>后退</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>向上一级</source>
        <translation>Up One Level</translation>
    </message>
    <message>
        <source>新建文件夹</source>
        <translation>New Folder</translation>
    </message>
    <message>
        <source>查看</source>
        <translation>View</translation>
    </message>
    <message>
        <source>图标</source>
        <translation>Icons</translation>
    </message>
    <message>
        <source>列表</source>
        <translation>List</translation>
    </message>
    <message>
        <source>详细信息</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>平铺</source>
        <translation>Tiles</translation>
    </message>
    <message>
        <source>位置</source>
        <translation>Places</translation>
    </message>
    <message>
        <source>已选择：</source>
        <translation>Selected:</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>提示：请使用 Ctrl+左键，Shift+左键，Ctrl+A 选择多个文件和文件夹。</source>
        <translation>Tip: use Ctrl+click, Shift+click or Ctrl+A to select several files and folders.</translation>
    </message>
    <message>
        <source>新建文件夹 (%1)</source>
        <translation>New Folder (%1)</translation>
    </message>
    <message>
        <source>文件和文件夹</source>
        <translation>Files and folders</translation>
    </message>
    <message>
        <source>所有图片文件</source>
        <translation>All pictures</translation>
    </message>
    <message>
        <source>所有文件</source>
        <translation>All files</translation>
    </message>
    <message>
        <source>请选择一个图片</source>
        <translation>Choose a Picture</translation>
    </message>
    <message>
        <source>主文件夹</source>
        <translation>Home</translation>
    </message>
    <message>
        <source>图片</source>
        <comment>the place</comment>
        <translation>Pictures</translation>
    </message>
    <message>
        <source>桌面</source>
        <translation>Desktop</translation>
    </message>
    <message>
        <source>文件系统</source>
        <translation>File System</translation>
    </message>
    <message>
        <source>详细介绍</source>
        <translation>About</translation>
    </message>
    <message>
        <source>未产生输出的文件</source>
        <translation>Files without Output</translation>
    </message>
    <message>
        <source>查看花式选择的文件和文件夹</source>
        <translation>Selected Files and Folders</translation>
    </message>
    <message>
        <source>无法打开文件夹：没有找到可以显示文件夹的文件管理器。</source>
        <translation>Cannot open the folder: no file manager was found to show it.</translation>
    </message>
    <message>
        <source>当前版本：%1 %2</source>
        <translation>Version: %1 %2</translation>
    </message>
    <message>
        <source>联系邮箱：%1</source>
        <translation>Contact: %1</translation>
    </message>
    <message>
        <source> %1 是一款免费的图片处理软件，尤其擅长一次处理大量图片。</source>
        <translation> %1 is a free picture processing program, made to handle many pictures at once.</translation>
    </message>
    <message>
        <source> 支持批量格式转化；</source>
        <translation> Converts formats in batches;</translation>
    </message>
    <message>
        <source> 支持批量旋转图片，支持任意旋转角度；</source>
        <translation> Rotates pictures in batches, by any angle;</translation>
    </message>
    <message>
        <source> 支持批量缩放图片，可定制缩放大小，缩放比例；</source>
        <translation> Scales pictures in batches, to a size or by a ratio;</translation>
    </message>
    <message>
        <source> 支持批量图形切割，可根据块数或者尺寸进行切割；</source>
        <translation> Cuts pictures in batches, into a number of pieces or pieces of a size;</translation>
    </message>
    <message>
        <source> 支持批量图形合并，支持合并方向选择，支持按数目合并；</source>
        <translation> Joins pictures in batches, across or down, by number;</translation>
    </message>
    <message>
        <source> 支持批量加水印：支持水印文字和水印图片。</source>
        <translation> Stamps watermarks in batches: a text or a picture.</translation>
    </message>
    <message>
        <source> 支持批量另存：如果保存格式一个都不选，默认只拷贝另存图片文件本身。可以和“文件夹结构拷贝”配合使用。</source>
        <translation> Copies in batches: with no format chosen, the picture files themselves are copied. Works with &quot;Keep folder structure&quot;.</translation>
    </message>
    <message>
        <source> 支持多种操作组合，各种操作的优先次序为：旋转-&gt;缩放-&gt;切割-&gt;合并。</source>
        <translation> Combines operations, in this order: turn -&gt; scale -&gt; cut -&gt; join.</translation>
    </message>
    <message>
        <source> 支持多路径选择：可以同时选择多个文件和文件夹；</source>
        <translation> Multi-path selection: many files and folders at once;</translation>
    </message>
    <message>
        <source> 支持的读取格式：BMP，JPEG，PNG，GIF，TIFF，EMF，WMF；</source>
        <translation> Reads BMP, JPEG, PNG, GIF, TIFF, EMF, WMF;</translation>
    </message>
    <message>
        <source> 支持的保存格式：BMP，JPEG，PNG，GIF，TIFF，EMF，WMF；</source>
        <translation> Saves BMP, JPEG, PNG, GIF, TIFF, EMF, WMF;</translation>
    </message>
    <message>
        <source> 支持同时保存成多种格式的图片；</source>
        <translation> Saves in several formats at once;</translation>
    </message>
    <message>
        <source> 支持文件夹结构拷贝；</source>
        <translation> Keeps the folder structure;</translation>
    </message>
    <message>
        <source> 支持超长文件名处理；</source>
        <translation> Handles over-long file names;</translation>
    </message>
    <message>
        <source> 支持文件重名时候的定制操作：添加文件名前缀；添加文件名后缀；或者直接覆盖重名文件；</source>
        <translation> On a name clash: adds a prefix; adds a suffix; or overwrites the file;</translation>
    </message>
    <message>
        <source> 自动识别源文件夹下的所有文件，包括隐藏文件和所有子文件夹，一次批量处理；</source>
        <translation> Finds every file in the source folder, hidden files and all subfolders included, and processes them in one run;</translation>
    </message>
    <message>
        <source> 处理过程中可以暂停和停止；</source>
        <translation> A run can be paused and stopped;</translation>
    </message>
    <message>
        <source> 高保真，速度快；</source>
        <translation> High fidelity, fast;</translation>
    </message>
    <message>
        <source> 小巧绿色，无需安装。</source>
        <translation> Small and self-contained.</translation>
    </message>
    <message>
        <source>使用说明：</source>
        <translation>How to use:</translation>
    </message>
    <message>
        <source> 按回车键开始或暂停处理，按 Esc 键停止处理。</source>
        <translation> Press Enter to start or pause, Esc to stop.</translation>
    </message>
    <message>
        <source>最近更新：</source>
        <translation>Latest changes:</translation>
    </message>
    <message>
        <source>%1 版：</source>
        <translation>Version %1:</translation>
    </message>
    <message>
        <source> 缩放设置更加清晰；</source>
        <translation> Clearer scaling settings;</translation>
    </message>
    <message>
        <source> 按尺寸缩放时允许宽或高填 0，按原图比例计算；</source>
        <translation> Scaling by size allows a width or height of 0, which follows the picture&apos;s proportions;</translation>
    </message>
    <message>
        <source> 新增长边约束：只限制宽高中较大的一边；</source>
        <translation> New: &quot;Max edge&quot;, which limits only the larger of width and height;</translation>
    </message>
    <message>
        <source> 切割选项中去掉了颜色框；</source>
        <translation> The colour box left the cut options;</translation>
    </message>
    <message>
        <source> 合并更简单，两个方向都支持，文件顺序按文件名的自然顺序；</source>
        <translation> Simpler joining, in both directions, files in the natural order of their names;</translation>
    </message>
    <message>
        <source> 新增“按原图格式”和“按原图直接拷贝”两种保存方式；</source>
        <translation> New ways to save: &quot;As source&quot; and &quot;Copy as is&quot;;</translation>
    </message>
    <message>
        <source> 修正了一些小问题。</source>
        <translation> Small fixes.</translation>
    </message>
    <message>
        <source>2.1.0 版：</source>
        <translation>Version 2.1.0:</translation>
    </message>
    <message>
        <source> 新增水印功能；</source>
        <translation> New: watermarks (&quot;Stamp&quot;);</translation>
    </message>
    <message>
        <source> 新增只拷贝另存功能；</source>
        <translation> New: copying only;</translation>
    </message>
    <message>
        <source> 新增提示信息；</source>
        <translation> New: tips;</translation>
    </message>
    <message>
        <source> 缩放比例支持小数；</source>
        <translation> Scale ratios may have decimals;</translation>
    </message>
    <message>
        <source> 支持旋转 0 度；</source>
        <translation> Rotation by 0 degrees;</translation>
    </message>
    <message>
        <source> 修正了一些问题。</source>
        <translation> Fixes.</translation>
    </message>
    <message>
        <source>2.0.9 版：</source>
        <translation>Version 2.0.9:</translation>
    </message>
    <message>
        <source> 调整了合并顺序；</source>
        <translation> Changed joining order;</translation>
    </message>
    <message>
        <source> 支持按尺寸切割；</source>
        <translation> Cutting by size;</translation>
    </message>
    <message>
        <source> 支持按数目合并；</source>
        <translation> Joining by number;</translation>
    </message>
    <message>
        <source> 支持先切割再合并；</source>
        <translation> Cutting, then joining;</translation>
    </message>
    <message>
        <source> 支持任意角度旋转，可以选择背景色。</source>
        <translation> Rotation by any angle, with a background colour.</translation>
    </message>
    <message>
        <source>2.0.8 版：</source>
        <translation>Version 2.0.8:</translation>
    </message>
    <message>
        <source> 操作的次序固定为旋转、缩放、切割或合并；</source>
        <translation> Operations in a fixed order: turn, scale, cut or join;</translation>
    </message>
    <message>
        <source> 兼容性更好，程序更小；</source>
        <translation> Better compatibility, a smaller program;</translation>
    </message>
    <message>
        <source>2.0.2 版：</source>
        <translation>Version 2.0.2:</translation>
    </message>
    <message>
        <source> 新增合并功能；</source>
        <translation> New: joining;</translation>
    </message>
    <message>
        <source> 新增切割功能；</source>
        <translation> New: cutting;</translation>
    </message>
    <message>
        <source> 新增多路径选择；</source>
        <translation> New: multi-path selection;</translation>
    </message>
    <message>
        <source> 支持较新的 Windows 版本。</source>
        <translation> Newer Windows versions.</translation>
    </message>
    <message>
        <source>2.0.1 版：</source>
        <translation>Version 2.0.1:</translation>
    </message>
    <message>
        <source> 新增 EMF 和 WMF 格式输出；</source>
        <translation> New: EMF and WMF output;</translation>
    </message>
    <message>
        <source> 无损旋转更快；</source>
        <translation> Faster lossless rotation;</translation>
    </message>
    <message>
        <source> 旋转角度改用单选按钮选择；</source>
        <translation> Rotation angles chosen with radio buttons;</translation>
    </message>
    <message>
        <source> 新增“打开上层”按钮；</source>
        <translation> New: the &quot;Open up&quot; button;</translation>
    </message>
    <message>
        <source>1.0.3 版：</source>
        <translation>Version 1.0.3:</translation>
    </message>
    <message>
        <source> 每个路径只打开一个资源管理器窗口；</source>
        <translation> One file manager window per path;</translation>
    </message>
    <message>
        <source> 修正了计数问题；</source>
        <translation> Counting fixed;</translation>
    </message>
    <message>
        <source> 前缀和后缀两边的空格不再使用。</source>
        <translation> Blanks around prefix and suffix are no longer used.</translation>
    </message>
    <message>
        <source>1.0 Alpha 版：</source>
        <translation>Version 1.0 Alpha:</translation>
    </message>
    <message>
        <source> 批量格式转化。</source>
        <translation> Format conversion in batches.</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>单路径</source>
        <translation>Single</translation>
    </message>
    <message>
        <source>打开路径</source>
        <translation>Source path</translation>
    </message>
    <message>
        <source>选择...</source>
        <translation>Pick...</translation>
    </message>
    <message>
        <source>打开当前</source>
        <translation>Open dir</translation>
    </message>
    <message>
        <source>打开上层</source>
        <translation>Open up</translation>
    </message>
    <message>
        <source>包含子文件夹</source>
        <translation>Subfolders</translation>
    </message>
    <message>
        <source>多路径</source>
        <translation>Multi</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>旋转</source>
        <translation>Turn</translation>
    </message>
    <message>
        <source>顺时针   90 度</source>
        <translation>90° right</translation>
    </message>
    <message>
        <source>顺时针 180 度</source>
        <translation>180° right</translation>
    </message>
    <message>
        <source>顺时针 270 度</source>
        <translation>270° right</translation>
    </message>
    <message>
        <source>顺时针</source>
        <translation>Angle</translation>
    </message>
    <message>
        <source>顺时针 角度</source>
        <translation>Clockwise angle</translation>
    </message>
    <message>
        <source>度</source>
        <translation>°</translation>
    </message>
    <message>
        <source>背景色</source>
        <translation>Fill</translation>
    </message>
    <message>
        <source>缩放</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>按比例</source>
        <translation>Ratio</translation>
    </message>
    <message>
        <source>缩放比例数</source>
        <translation>Scale ratio</translation>
    </message>
    <message>
        <source>按尺寸</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>图像缩放 宽度</source>
        <translation>Scaling width</translation>
    </message>
    <message>
        <source>图像缩放 高度</source>
        <translation>Scaling height</translation>
    </message>
    <message>
        <source>大边约束</source>
        <translation>Max edge</translation>
    </message>
    <message>
        <source>大边约束 数值</source>
        <translation>Max edge limit</translation>
    </message>
    <message>
        <source>切割</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>按块数</source>
        <translation>Count</translation>
    </message>
    <message>
        <source>合并</source>
        <translation>Join</translation>
    </message>
    <message>
        <source>加水印</source>
        <translation>Stamp</translation>
    </message>
    <message>
        <source>文字</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>水印文字</source>
        <translation>Watermark text</translation>
    </message>
    <message>
        <source>图片</source>
        <translation>Pic</translation>
    </message>
    <message>
        <source>水印图片的路径</source>
        <translation>Watermark picture path</translation>
    </message>
    <message>
        <source>操作</source>
        <translation>Operations</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>保存格式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>All</translation>
    </message>
    <message>
        <source>按原图格式</source>
        <translation>As source</translation>
    </message>
    <message>
        <source>按原图直接拷贝</source>
        <translation>Copy as is</translation>
    </message>
    <message>
        <source>保存路径</source>
        <translation>Save to</translation>
    </message>
    <message>
        <source>文件夹结构拷贝( 根据打开路径下各个子文件夹层次结构创建相应的保存文件夹 )</source>
        <translation>Keep folder structure ( make the source&apos;s subfolders again in the save folder )</translation>
    </message>
    <message>
        <source>文件重名时</source>
        <translation>On clash</translation>
    </message>
    <message>
        <source>加前缀</source>
        <translation>Prefix</translation>
    </message>
    <message>
        <source>加后缀</source>
        <translation>Suffix</translation>
    </message>
    <message>
        <source>直接覆盖</source>
        <translation>Overwrite</translation>
    </message>
    <message>
        <source>限制文件名长度不超过</source>
        <translation>Names at most</translation>
    </message>
    <message>
        <source>文件名超长时</source>
        <translation>Too long</translation>
    </message>
    <message>
        <source>前缀折叠( 折叠后,文件名以 &quot;_CVN_L_数字_&quot; 开头 )</source>
        <translation>Fold at start ( the name then begins with &quot;_CVN_L_number_&quot; )</translation>
    </message>
    <message>
        <source>后缀折叠( 折叠后,文件名以 &quot;_CVN_L_数字&quot; 结尾 )</source>
        <translation>Fold at end ( the name then ends with &quot;_CVN_L_number&quot; )</translation>
    </message>
    <message>
        <source>放弃存储( 只放弃单个文件存储,不影响其他文件处理 )</source>
        <translation>Do not save ( only that file is given up, the others go on )</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Messages</translation>
    </message>
    <message>
        <source>已完成文件数 / 文件总数   108 / 209</source>
        <translation>Files done / total   108 / 209</translation>
    </message>
    <message>
        <source>进度</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>确    定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>无法读取的文件夹，其中的文件都没有处理</source>
        <translation>folder cannot be read; none of its files was processed</translation>
    </message>
    <message>
        <source>无法读取（文件不存在、不是普通文件或没有读取权限）</source>
        <translation>cannot be read (missing, not a regular file, or no permission to read it)</translation>
    </message>
    <message>
        <source>不是可以识别的图片</source>
        <translation>not a picture that can be read</translation>
    </message>
    <message>
        <source>图片已损坏，无法解码</source>
        <translation>damaged picture, cannot be decoded</translation>
    </message>
    <message>
        <source>图片太大，无法处理</source>
        <translation>picture too large to process</translation>
    </message>
    <message>
        <source>输出文件名超长，按设置放弃存储</source>
        <translation>output name too long, not saved as set</translation>
    </message>
    <message>
        <source>写入失败</source>
        <translation>write failed</translation>
    </message>
    <message>
        <source>图像信息（元数据）无法读取</source>
        <translation>metadata could not be read</translation>
    </message>
    <message>
        <source>图像信息（元数据）无法写入</source>
        <translation>metadata could not be written</translation>
    </message>
    <message>
        <source>图片不完整，只写出了解码到的部分</source>
        <translation>incomplete picture, only the decoded part was written</translation>
    </message>
    <message>
        <source>切割的块数多于图片的像素数，无法切割</source>
        <translation>more pieces than the picture has pixels, not cut</translation>
    </message>
    <message>
        <source>未能处理</source>
        <translation>not processed</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>；</source>
        <comment>between reasons</comment>
        <translation>; </translation>
    </message>
    <message>
        <source>查看未产生输出的文件（%1）</source>
        <translation>Files without output (%1)</translation>
    </message>
    <message>
        <source>查看输出不完整的文件（%1）</source>
        <translation>Files with incomplete output (%1)</translation>
    </message>
    <message>
        <source>未产生输出的文件数：  %1</source>
        <translation>Files without output:  %1</translation>
    </message>
    <message>
        <source>  ，输出不完整的文件数：  %1</source>
        <translation>,  with incomplete output:  %1</translation>
    </message>
    <message>
        <source>输出不完整的文件：</source>
        <translation>Files with incomplete output:</translation>
    </message>
    <message>
        <source>未产生输出的文件：</source>
        <translation>Files without output:</translation>
    </message>
    <message>
        <source>花式选择，已选文件数：  %1  ，已选文件夹数：  %2  <byte value="xd"/>
<byte value="xd"/>
<byte value="xd"/>
文件列表：</source>
        <translation>Multi-path selection:  %1 files,  %2 folders<byte value="xd"/>
<byte value="xd"/>
<byte value="xd"/>
Files:</translation>
    </message>
    <message>
        <source>文件夹结构拷贝</source>
        <translation>Keep folder structure</translation>
    </message>
    <message>
        <source>未产生输出的文件数： </source>
        <translation>Files without output: </translation>
    </message>
</context>
</TS>
