#pragma once
// Published fields of Store: a Q_PROPERTY with a typed getter, a setter that always notifies
// (every assignment redraws the views reading the field) and its change signal.

#define CV_FIELD(Type, name, Name, ...)                                        \
    Q_PROPERTY(Type name READ name WRITE set##Name NOTIFY name##Changed)       \
public:                                                                        \
    const Type &name() const { return m_##name; }                              \
    void set##Name(const Type &v)                                              \
    {                                                                          \
        m_##name = v;                                                          \
        Q_EMIT name##Changed();                                                \
    }                                                                          \
    Q_SIGNAL void name##Changed();                                             \
                                                                               \
private:                                                                       \
    Type m_##name{__VA_ARGS__};

// A published list of records: C++ reads the typed list, QML reads a list of gadgets.
#define CV_LIST(Type, name, Name)                                              \
    Q_PROPERTY(QVariantList name READ name##Variant NOTIFY name##Changed)      \
public:                                                                        \
    const QList<Type> &name() const { return m_##name; }                       \
    QVariantList name##Variant() const { return toVariantList(m_##name); }     \
    void set##Name(const QList<Type> &v)                                       \
    {                                                                          \
        m_##name = v;                                                          \
        Q_EMIT name##Changed();                                                \
    }                                                                          \
    Q_SIGNAL void name##Changed();                                             \
                                                                               \
private:                                                                       \
    QList<Type> m_##name;
