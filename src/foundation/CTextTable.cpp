#include "foundation/CTextTable.h"

#include <array>

namespace {

// Rows in id order: row i has id i, so a lookup is an index (checked below).
constexpr std::array<CTextTable::Row, CTextTable::kRowCount> kRows{{
    {0, "状态", "State"},
    {1, "停机", "Stop"},
    {2, "准备启动", "Ready"},
    {3, "点火 <油门最小>", "Ignition (StickDown)"},
    {4, "点火", "Ignition"},
    {5, "预热", "Preheat"},
    {6, "加速", "Fuelramp"},
    {7, "运行-学习,油门最大", "Run - Learn Rc,Stick Up"},
    {8, "运行-学习,油门最小", "Run - Learn Rc,Stick Down"},
    {9, "运行-学习怠速", "Run - Learn Idle Rpm"},
    {10, "运行-油门最小", "Run - Stick Down"},
    {11, "运行-油泵限制", "Run - Limit Pump"},
    {12, "运行", "Running"},
    {13, "冷却", "Coolling"},
    {14, "重启", "Restart"},
    {15, "测试热火头", "Test Glowplug"},
    {16, "测试主油路电磁阀", "Test Fuel Valve"},
    {17, "测试点火电磁阀", "Test Igni Valve"},
    {18, "测试油泵", "Test Pump"},
    {19, "测试启动电机", "Test Starter"},
    {20, "?", "?"},
    {21, "校准油泵", "?"},
    {22, "排油", "Drain Fuel"},
    {23, "油门锁定", "Lock Control"},
    {24, "错误: 无", "Error: No"},
    {25, "错误: 超时", "Error: Time Out"},
    {26, "错误: 电池低电压", "Error: Low Battery"},
    {27, "错误: 热火头故障", "Error: GlowPlug Bad"},
    {28, "错误: 油泵故障", "Error: Pump Anomaly"},
    {29, "错误: 启动马达故障", "Error: Starter failure"},
    {30, "错误: 转速过低", "Error: RPM Low"},
    {31, "错误: 转速不稳定", "Error: RPM Instability"},
    {32, "错误: 排气温度过高", "Error: EGT High"},
    {33, "错误: 排气温度过低", "Error: EGT Low"},
    {34, "错误: 温度传感器", "Error: EGT Sensor Fail"},
    {35, "错误: 点火电磁阀", "Error: Gas Valve Bad"},
    {36, "错误: 主油路电磁阀", "Error: Fuel Valve Bad"},
    {37, "错误: 丢失遥控器输入信号", "Error: Lost Signal"},
    {38, "错误: 启动电机控制器温度过高", "Error: Starter Temp High"},
    {39, "错误: 油泵控制器温度过高", "Error: Pump Temp High"},
    {40, "错误: 离合器故障", "Error: Clutch failure"},
    {41, "错误: 电流过载", "Error: Current overload"},
    {42, "错误: 引擎离线", "Error: Engine Offline"},
    {43, "错误: 油泵达到极限", "Error: Pump Limit"},
    {44, "最大", "MAX"},
    {45, "最小", "MIN"},
    {46, "设置参数", "Set Param"},
    {47, "学习", "Learn"},
    {48, "测试引擎", "Test Engine"},
    {49, "开始学习", "Start learn"},
    {50, "停止学习", "Stop learn"},
    {51, "最小油门", "Throttle.Min"},
    {52, "待机油门", "Throttle.Idle"},
    {53, "最大油门", "Throttle.Max"},
    {54, "实时状态", "Real State"},
    {55, "转速 VS 温度&推力&油泵", "RPM vs EGT&Thrust&Pump"},
    {56, "历史记录", "Historic records "},
    {57, "无刷油泵转速", "RPM for BLDC Pump"},
    {58, "工程模式", "KVRW"},
    {59, "遥控器模拟器", "Simulator"},
    {60, "状态:", "State:"},
    {61, "CPU占用:", "CpuUsage:"},
    {62, "CPU温度:", "CpuTemp:"},
    {63, "接收机电压:", "RC Vol:"},
    {64, "动力电压:", "Power Vol:"},
    {65, "电流:", "Current:"},
    {66, "气压:", "Pressure:"},
    {67, "海拔", "Altitude"},
    {68, "USB适配器", "USB Dongle"},
    {69, "设备", "Device"},
    {70, "软件版本:", "Software Version:"},
    {71, "记录数量:", "Records Number:"},
    {72, "遥控器:", "RC:"},
    {73, "输入.油门", "Input.Throttle"},
    {74, "输入.开关", "Input.Switch"},
    {75, "油门-最大", "Throttle-Max"},
    {76, "油门-待机", "Throttle-Idle"},
    {77, "油门-最小", "Throttle-Min"},
    {78, "TCU状态:", "TCU State:"},
    {79, "版本", "Version"},
    {80, "电压", "Voltage"},
    {81, "温度", "Temperature"},
    {82, "启动电机", "Starter"},
    {83, "类型", "Type"},
    {84, "状态", "State"},
    {85, "转速", "RPM"},
    {86, "温度", "Temp"},
    {87, "不支持", "Unsupport"},
    {88, "未连接", "Offline"},
    {89, "故障", "Fault"},
    {90, "正常", "Normally"},
    {91, "主油泵", "MainPump"},
    {92, "状态", "State"},
    {93, "转速", "RPM"},
    {94, "温度", "Temperature"},
    {95, "TCU油泵", "TCU Pump"},
    {96, "ECU油泵", "ECU Pump"},
    {97, "有刷电机", "DC Motor"},
    {98, "无刷电机", "BLDC Motor"},
    {99, "故障", "Fault"},
    {100, "不支持", "Unsupport"},
    {101, "停止", "Stop"},
    {102, "启动", "Start"},
    {103, "运行", "Run"},
    {104, "刹车", "Brake"},
    {105, "点火油泵", "IgnitionPump"},
    {106, "发电机", "Alternator"},
    {107, "输入电压", "Input Voltage"},
    {108, "输入电流", "Input Current"},
    {109, "输出电压", "Output Voltage"},
    {110, "输出电流", "Output Current"},
    {111, "燃油温度", "FuelTemp"},
    {112, "燃油压力", "FuelPress"},
    {113, "燃烧室压力", "CombPress"},
    {114, "设置", "Setting"},
    {115, "保护设置:", "Limit Setting:"},
    {116, "最高温度：", "Max EGT:"},
    {117, "最低电压：", "Low Voltage:"},
    {118, "极限转速：", "Max Rpm:"},
    {119, "启动器:", "Starter:"},
    {120, "弹出时间：", "EjectTime:"},
    {121, "弹出电压：", "EjectVoltage:"},
    {122, "运行电压：", "RunVoltage:"},
    {123, "稳定系数：", "Stability coefficient:"},
    {124, "关闭系数：", "RPM Stop Coefficient:"},
    {125, "磁极对数(无刷电机)：", "Number of pole pairs:"},
    {126, "电磁阀:", "Valve:"},
    {127, "占空比：", "Duty:"},
    {128, "电磁阀电压：", "Voltage:"},
    {129, "电磁阀 - 点火油路", "Valve - Ignition"},
    {130, "电磁阀 - 主油路", "Valve - Fuel"},
    {131, "电磁阀 - 扩展1", "Valve - EX1"},
    {132, "电磁阀 - 扩展2", "Valve - EX2"},
    {133, "转速:", "RPM:"},
    {134, "点火", "Ignition:"},
    {135, "冷却", "Coolling:"},
    {136, "预热", "Preheat:"},
    {137, "加速", "Fuelramp:"},
    {138, "最小", "Min:"},
    {139, "待机", "Idle"},
    {140, "最高", "Max:"},
    {141, "主油泵:", "MainPump:"},
    {142, "点火电压", "Ignition Voltage:"},
    {143, "最高电压", "Max Voltage:"},
    {144, "最高电流", "Max Current:"},
    {145, "测试电压", "Test Voltage:"},
    {146, "怠速稳定灵敏度", "Idle Stability Sensitivity:"},
    {147, "油泵类型:", "Pump Type:"},
    {148, "点火油泵:", "IgnitionPump:"},
    {149, "电压", "Voltage:"},
    {150, "热火头:", "GlowPlug:"},
    {151, "启动电压", "Start.Voltage:"},
    {152, "重启电压:", "Restart.Voltage:"},
    {153, "加热时间:", "Heating time:"},
    {154, "遥控器:", "RC:"},
    {155, "丢失延时:", "Lost Signal Delay:"},
    {156, "SBUS.油门通道:", "SBUS.ThrottleCha:"},
    {157, "SBUS.开关通道:", "SBUS.SwitchCha:"},
    {158, "SBUS.回传模式:", "SBUS.TelemetryMode:"},
    {159, "回传协议:", "Telemetry Procotol:"},
    {160, "波特率:", "Bandrate:"},
    {161, "串口停止位:", "UART Stop Bits:"},
    {162, "CANBus地址(hex):", "CANBus Address(hex);"},
    {163, "启动参数:", "Startup Parameter:"},
    {164, "电机斜率:", "Starter Ramp:"},
    {165, "油泵斜率:", "Pump Ramp:"},
    {166, "点火确认温度:", "Ignition Temperature:"},
    {167, "预热完成温度:", "Preheat End Temperature:"},
    {168, "预热强制延时:", "Preheat Force Time:"},
    {169, "加速参数:", "Fuelramp Parameter:"},
    {170, "1段转速:", "RPM of Stage 1:"},
    {171, "2段转速:", "RPM of Stage 2:"},
    {172, "1段油泵:", "Pump of Stage 1:"},
    {173, "2段油泵:", "Pump of Stage 2:"},
    {174, "高海拔 - 运行:", "High altitude - Run:"},
    {175, "最低转速:", "Min RPM:"},
    {176, "气压:", "Pressure:"},
    {177, "高海拔 - 启动:", "High altitude - Startup:"},
    {178, "油泵斜率:", "Pump Ramp:"},
    {179, "气压:", "Pressure:"},
    {180, "加氧启动:", "Oxygen Startup:"},
    {181, "开启转速:", "RPM:"},
    {182, "油泵延时:", "Pump Delay:"},
    {183, "油泵电压:", "Pump Voltage:"},
    {184, "油泵爬坡时间:", "Pump Ramp:"},
    {185, "油门曲线:", "Run Inc/Dec Curve:"},
    {186, "加速:", "Acceleration curve:"},
    {187, "减速:", "Deceleration curve:"},
    {188, "引擎名称:", "Engine Name:"},
    {189, "特性参数", "Caracteristic"},
    {190, "温度单位", "Temperature unit"},
    {191, "转速每圈脉冲数", "Number of pulses per cycle"},
    {192, "温度缩放系数", "Temperature Scale"},
    {193, "加速冷却", "Reduce Cool Time"},
    {194, "熄火重启", "Flameout Restart"},
    {195, "转速闭环控制", "Rotation Speed Control"},
    {196, "线性闭环转速", "Linear RPM"},
    {197, "不检查火头", "Don't Check Glowplug"},
    {198, "瓦斯启动", "Gas Start Up"},
    {199, "允许异常熄火后冷却", "Cooling after abnormal flameout"},
    {200, "待机BEEP声", "Standby Beep"},
    {201, "取消遥控信号丢失监测", "No Control Timeout"},
    {202, "摄氏度", "Celsius"},
    {203, "华氏度", "Fahrenheit"},
    {204, "高度气压对照表", "Altitude VS Pressure"},
    {205, "读取参数文件", "Load Param From File"},
    {206, "保存到参数文件", "Save Param To File"},
    {207, "取消设置", "Cancel Setting"},
    {208, "保存参数", "Save Setting"},
    {209, "修改", "Change Param"},
    {210, "关闭", "Exit"},
    {211, "测试引擎", "Test Engine"},
    {212, "热火头", "GlowPlug"},
    {213, "电磁阀-主油路", "Valve-Fuel"},
    {214, "电磁阀-点火油路", "Valve-Ignition"},
    {215, "电磁阀-扩展1", "Valve-EX1"},
    {216, "电磁阀-扩展2", "Valve-EX2"},
    {217, "电磁阀-氧气", "Oxygen Valve"},
    {218, "主油泵", "Main Pump"},
    {219, "启动电机", "Starter"},
    {220, "点火油泵", "Ignition Pump"},
    {221, "温度", "EGT"},
    {222, "油泵", "Pump"},
    {223, "推力", "Thrust"},
    {224, "保存到文件", "Save To File"},
    {225, "加载文件", "Load From File"},
    {226, "使用记录", "Records"},
    {227, "电源消耗:", "Battery Capacity"},
    {228, "运行周期:", "Run Cycle"},
    {229, "总使用时间:", "Run Time"},
    {230, "最后一次运行时间:", "Last Run Time"},
    {231, "清除使用记录", "Clear Records"},
    {232, "转速", "RPM"},
    {233, "温度 - 排气", "EGT"},
    {234, "温度 - ECU", "ECU.Temp"},
    {235, "温度 - TCU", "TCU.Temp"},
    {236, "电压 - 接收机", "RC Voltage"},
    {237, "电压 - 电池", "BatteryVoltage"},
    {238, "遥控 - 油门", "RC.Throttle"},
    {239, "遥控 - 开关", "RC.Switch"},
    {240, "气压", "Pressure"},
    {241, "电流", "Current"},
    {242, "推力", "Thrust"},
    {243, "油泵 - 电压", "Pump Voltage"},
    {244, "油泵 - 转速", "Pump RPM"},
    {245, "燃油 - 温度", "FuelTemp"},
    {246, "燃油 - 压力", "FuelPress"},
    {247, "燃烧室压力", "CombPress"},
    {248, "启动电机电压", "StarterVol"},
    {249, "启动电机转速", "StarterRPM"},
    {250, "自动缩放", "Autoscale"},
    {251, "全选", "Select All"},
    {252, "取消选择", "UnSelect All"},
    {253, "加载中[%d],请等待!", "Loading[%d]"},
    {254, "转速", "RPM"},
    {255, "温度", "EGT"},
    {256, "ECU温度", "ECU.Temp"},
    {257, "TCU温度", "TCU.Temp"},
    {258, "油泵温度", "Pump.Temp"},
    {259, "油泵", "PUMP"},
    {260, "接收电", "RC.VOL"},
    {261, "动力电", "BAT.VOL"},
    {262, "遥控-油门", "RC.Throttle"},
    {263, "遥控-开关", "RC.Switch"},
    {264, "电压", "Voltage"},
    {265, "气压", "Pressure"},
    {266, "电流", "Current"},
    {267, "推力", "Thrust"},
    {268, "启动电机电压", "StarterVol"},
    {269, "启动电机转速", "StarterRPM"},
    {270, "时间", "Time"},
    {271, "油泵: 停止", "Pump: Stop"},
    {272, "油泵: 启动", "Pump: Start"},
    {273, "油泵: 运行", "Pump: Run"},
    {274, "油泵: 刹车", "Pump: Brake"},
    {275, "油泵电压", "Pump Vol"},
    {276, "油泵转速", "Pump Rpm"},
    {277, "错误.引擎离线", "Err.EningOnline"},
    {278, "错误.低电压", "Err.LowVol"},
    {279, "错误.电流过载", "Err.CurOver"},
    {280, "警告.油泵电压限制", "Warn.LimitPumpVoltage"},
    {281, "警告.油泵电流限制", "Warn.LimitPumpCurent"},
    {282, "温度", "EGT"},
    {283, "转速", "Rpm"},
    {284, "油泵", "Pump"},
    {285, "推力", "Thrust"},
    {286, "发电机输出", "Alternater"},
}};

constexpr bool RowsAreInIdOrder() {
    for (int32_t i = 0; i < CTextTable::kRowCount; ++i) {
        if (kRows[static_cast<size_t>(i)].id != i) {
            return false;
        }
    }
    return true;
}
static_assert(RowsAreInIdOrder(), "every text number exactly once, in order");

} // namespace

CTextTable& CTextTable::Process() {
    static CTextTable table;
    return table;
}

void CTextTable::SetLanguage(int32_t language) {
    if (language == kChinese || language == kEnglish) {
        m_language.store(language, std::memory_order_relaxed);
    }
}

int32_t CTextTable::GetLanguage() const {
    return m_language.load(std::memory_order_relaxed);
}

const char* CTextTable::GetText(int32_t id) const {
    return GetText(id, GetLanguage());
}

const char* CTextTable::GetText(int32_t id, int32_t language) {
    if (id < 0 || id >= kRowCount) {
        return "";
    }
    const Row& row = kRows[static_cast<size_t>(id)];
    if (language == kChinese) {
        return row.chinese;
    }
    if (language == kEnglish) {
        return row.english;
    }
    return "";
}

void CTextTable::SetControlText(ITextWindow* window, int32_t controlId, int32_t textNumber) const {
    if (window == nullptr) {
        return;
    }
    // A missing control is not an error: one caption list serves dialogs that
    // lack some of its controls.
    (void)window->SetControlText(controlId, GetText(textNumber));
}

void CTextTable::SetControlTexts(ITextWindow* window,
                                 const ControlText* pairs,
                                 int32_t count) const {
    if (window == nullptr || pairs == nullptr || count <= 0) {
        return;
    }
    SetControlTexts(window, std::span<const ControlText>(pairs, static_cast<size_t>(count)));
}

void CTextTable::SetControlTexts(ITextWindow* window, std::span<const ControlText> pairs) const {
    for (const ControlText& pair : pairs) {
        SetControlText(window, pair.controlId, pair.textNumber);
    }
}

std::span<const CTextTable::Row> CTextTable::Rows() {
    return kRows;
}
