// Symbol export of the foundation library.
//
// The library is built with hidden default visibility; only what is marked with TARSEL_ORN_API
// is part of its binary interface. Every exported class is marked as a whole, so its members,
// virtual tables and type information are exported together.
#ifndef TARSEL_ORN_EXPORT_H
#define TARSEL_ORN_EXPORT_H

#define TARSEL_ORN_API __attribute__((visibility("default")))

#endif  // TARSEL_ORN_EXPORT_H
