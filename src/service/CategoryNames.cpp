#include "CategoryNames.h"

namespace {
const char* const kNamesUtf8[kCategoryNameCount] = {
    "女装/女士精品",
    "书籍/杂志/报纸",
    "男装",
    "箱包皮具/热销女包/男包",
    "饰品/流行首饰/时尚饰品新",
    "运动鞋",
    "汽车/用品/配件/改装/摩托",
    "运动服/运动包/颈环配件",
    "服饰配件/皮带/帽子/围巾",
    "音乐/影视/明星/音像",
    "古董/邮币/字画/收藏",
    "女士内衣/男士内衣/家居服",
    "童装/童鞋/孕妇装",
    "特价机票/门票旅游/酒店客栈",
    "数码相机/摄像机/摄影器材",
    "电玩/配件/游戏/攻略",
    "3C数码配件市场",
    "电脑硬件/显示器/电脑周边",
    "网络设备/网络相关",
    "台式机/一体机/服务器",
    "闪存卡/U盘/存储/移动硬盘",
    "办公设备/耗材/相关服务",
    "居家日用/收纳/礼品",
    "厨房/餐饮用具",
    "日化/清洁/护理",
    "床上用品/靠垫/毛巾/布艺",
    "家装饰品/窗帘/地毯",
    "奶粉/辅食/营养品",
    "尿片/洗护/喂哺等用品",
    "益智玩具/早教/童车床/出行",
    "零食/坚果/茶叶/特产",
    "滋补/生鲜/速食/订餐",
    "保健食品",
    "MP3/MP4/iPod/录音笔",
    "手机",
    "国货精品手机",
    "腾讯QQ专区",
    "笔记本电脑",
    "运动/瑜伽/健身/球迷用品",
    "户外/登山/野营/旅行用品",
    "玩具/模型/娃娃/人偶",
    "网游装备/游戏币/帐号/代练",
    "IP卡/网络电话/手机号码",
    "网络游戏点卡",
    "家具/家具定制/宜家代购",
    "鲜花速递/花卉仿真/绿植园艺",
    "移动/联通/小灵通充值中心",
    "装潢/灯具/五金/安防/卫浴",
    "品牌手表/流行手表",
    "彩妆/香水/美发/工具",
    "流行男鞋",
    "女鞋",
    "珠宝/钻石/翡翠/黄金",
    "ZIPPO/瑞士军刀/眼镜",
    "宠物/宠物食品及用品",
    "其它",
    "厨房电器",
    "生活电器",
    "个人护理/保健/按摩器材",
    "影音电器",
    "美容护肤/美体/精油",
    "演出/吃喝玩乐折扣券",
    "世博会特许商品",
    "网店/网络服务/个性定制/软件",
    "乐器/吉他/钢琴/配件",
};
}  // namespace

const std::array<Text, kCategoryNameCount>& CategoryNames() {
    static const std::array<Text, kCategoryNameCount> table = [] {
        std::array<Text, kCategoryNameCount> t;
        for (int i = 0; i < kCategoryNameCount; ++i) t[i] = Utf8ToGbk(kNamesUtf8[i]);
        return t;
    }();
    return table;
}

int CategoryPicture(const Text& name) {
    const auto& names = CategoryNames();
    for (int k = 0; k < kCategoryNameCount; ++k)
        if (names[k] == name) return k + 1;
    return 0;
}
