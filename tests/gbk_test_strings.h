// GBK text used across the tests, as byte escapes with the characters in
// the comments.
#ifndef TOLVAR_TESTS_GBK_TEST_STRINGS_H_
#define TOLVAR_TESTS_GBK_TEST_STRINGS_H_

// 张 D5 C5, 三 C8 FD, 李 C0 EE, 四 CB C4, 王 CD F5, 五 CE E5, 等 B5 C8
#define ZHANGSAN "\xD5\xC5\xC8\xFD"
#define LISI "\xC0\xEE\xCB\xC4"
#define WANGWU "\xCD\xF5\xCE\xE5"
#define DENG "\xB5\xC8"
#define ZHONGWEN_BIAOTI "\xD6\xD0\xCE\xC4\xB1\xEA\xCC\xE2"        // 中文标题
#define HUIYI_LUNWENJI "\xBB\xE1\xD2\xE9\xC2\xDB\xCE\xC4\xBC\xAF"  // 会议论文集
#define FABIAOYU "\xB7\xA2\xB1\xED\xD3\xDA: "                      // 发表于:
#define YEMA "\xD2\xB3\xC2\xEB: "                                  // 页码:
#define BIANZHE "~(\xB1\xE0\xD5\xDF)"                              // ~(编者)

#endif  // TOLVAR_TESTS_GBK_TEST_STRINGS_H_
