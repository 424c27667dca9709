#pragma once
// Published fields of Store: a Q_PROPERTY with a typed getter, a setter and its change signal.
// The setter notifies only when the value changes, so a load that brings what is already shown
// redraws nothing.
//
// CV_FIELD is read-only to QML: credentials, what the server sent and what the store's own rules
// decide. CV_STATE is screen state that QML sets itself (a search text, an open sheet).

#define CV_FIELD(Type, name, Name, ...)                                        \
    Q_PROPERTY(Type name READ name NOTIFY name##Changed)                       \
    CV_FIELD_BODY(Type, name, Name, __VA_ARGS__)

#define CV_STATE(Type, name, Name, ...)                                        \
    Q_PROPERTY(Type name READ name WRITE set##Name NOTIFY name##Changed)       \
    CV_FIELD_BODY(Type, name, Name, __VA_ARGS__)

#define CV_FIELD_BODY(Type, name, Name, ...)                                   \
public:                                                                        \
    const Type &name() const { return m_##name; }                              \
    void set##Name(const Type &v)                                              \
    {                                                                          \
        if (m_##name == v)                                                     \
            return;                                                            \
        m_##name = v;                                                          \
        Q_EMIT name##Changed();                                                \
    }                                                                          \
    /* back to the value declared here, so a reset never restates it */        \
    void reset##Name() { set##Name(Type{__VA_ARGS__}); }                       \
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
