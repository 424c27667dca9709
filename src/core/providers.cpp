#include "providers.h"

const QMap<QString, ProvMeta> &PROVIDERS()
{
    static const QMap<QString, ProvMeta> table{
        {QStringLiteral("claude"), {QStringLiteral("Claude"), 0xD97757}},
        {QStringLiteral("codex"), {QStringLiteral("Codex"), 0x10A37F}},
        {QStringLiteral("gemini"), {QStringLiteral("Gemini"), 0x4285F4}},
        {QStringLiteral("kimi"), {QStringLiteral("Kimi"), 0x7C6CFF}},
        {QStringLiteral("minimax"), {QStringLiteral("MiniMax"), 0xFF5DA2}},
        {QStringLiteral("glm"), {QStringLiteral("GLM"), 0x3B6FFF}},
        {QStringLiteral("deepseek"), {QStringLiteral("DeepSeek"), 0x4D6BFE}},
        {QStringLiteral("qwen"), {QStringLiteral("Qwen"), 0xA855F7}},
        {QStringLiteral("openrouter"), {QStringLiteral("OpenRouter"), 0x9CA3AF}},
        {QStringLiteral("other"), {QStringLiteral("Other"), 0x8888A0}},
    };
    return table;
}

QString providerKey(const QString &key)
{
    return PROVIDERS().contains(key) ? key : QStringLiteral("other");
}

ProvMeta providerMeta(const QString &key)
{
    const auto &t = PROVIDERS();
    const auto it = t.constFind(key);
    return it != t.constEnd() ? *it : t.value(QStringLiteral("other"));
}

QString providerColorHex(const QString &key)
{
    return QStringLiteral("#%1").arg(providerMeta(key).hex & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
}
