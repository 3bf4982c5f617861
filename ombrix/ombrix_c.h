/* The component server's C interface: create the library's classes by name,
 * call their members by name or number (late binding), hold objects by
 * counted references, walk collections, read the class catalogue and its
 * help texts. Any language that loads a C library can use it (C, C#, Rust,
 * Go, Python through ctypes, ...).
 *
 * Every function that can fail returns 0 on success or the error's number;
 * ombrix_error_number, ombrix_error_source and ombrix_error_description then
 * tell the last failure on the calling thread. An object lives while the
 * caller or another object holds a reference to it: a view keeps its array
 * alive after the caller releases the array. Each object is used by one
 * thread at a time; distinct objects may be used on distinct threads.
 */
#ifndef OMBRIX_OMBRIX_C_H
#define OMBRIX_OMBRIX_C_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

/** The version of this interface; it changes with the library's soname. */
#define OMBRIX_C_VERSION 1

/** A counted reference to one of the library's objects. */
typedef struct ombrix_object ombrix_object;

/** The kinds of value an ombrix_value holds. */
typedef enum ombrix_kind {
  OMBRIX_EMPTY = 0,   /**< no value (also an omitted result) */
  OMBRIX_NULL = 1,    /**< the Null value */
  OMBRIX_BOOLEAN = 2, /**< as.boolean, 0 or 1 */
  OMBRIX_BYTE = 3,    /**< as.byte */
  OMBRIX_INTEGER = 4, /**< as.integer, 16 bits */
  OMBRIX_LONG = 5,    /**< as.long_value, 32 bits */
  OMBRIX_DOUBLE = 6,  /**< as.number */
  OMBRIX_DATE = 7,    /**< as.number, days since 30 December 1899 */
  OMBRIX_STRING = 8,  /**< as.text, UTF-8 */
  OMBRIX_BYTES = 9,   /**< as.bytes, with lower_bound the index of the first */
  OMBRIX_OBJECT = 10  /**< as.object; NULL is Nothing */
} ombrix_kind;

/** How a member is called; a call may combine them. */
#define OMBRIX_METHOD 1u
#define OMBRIX_GET 2u
#define OMBRIX_LET 4u
#define OMBRIX_SET 8u

/** An argument or a result. Arguments the caller builds lend their text,
 *  bytes and object (owned stays NULL; nothing is copied until the call
 *  needs it). Values the library gives (results, and by-reference arguments
 *  it replaced) own what they point to until ombrix_value_clear. */
typedef struct ombrix_value {
  int32_t kind;        /**< an ombrix_kind */
  int32_t lower_bound; /**< OMBRIX_BYTES: the index of the first byte */
  /** The value, in the member its kind names. */
  union {
    int32_t boolean;
    uint8_t byte;
    int16_t integer;
    int32_t long_value;
    double number;
    struct {
      const char* data;
      size_t size;
    } text;
    struct {
      uint8_t* data;
      size_t size;
    } bytes;
    ombrix_object* object;
  } as;
  void* owned; /**< the library's; non-NULL when the value owns its contents */
} ombrix_value;

/** Values to pass as arguments. */
static inline ombrix_value ombrix_empty(void) {
  ombrix_value v;
  memset(&v, 0, sizeof v);
  return v;
}
static inline ombrix_value ombrix_long(int32_t x) {
  ombrix_value v = ombrix_empty();
  v.kind = OMBRIX_LONG;
  v.as.long_value = x;
  return v;
}
static inline ombrix_value ombrix_boolean(int x) {
  ombrix_value v = ombrix_empty();
  v.kind = OMBRIX_BOOLEAN;
  v.as.boolean = x != 0;
  return v;
}
static inline ombrix_value ombrix_double(double x) {
  ombrix_value v = ombrix_empty();
  v.kind = OMBRIX_DOUBLE;
  v.as.number = x;
  return v;
}
static inline ombrix_value ombrix_text(const char* text, size_t size) {
  ombrix_value v = ombrix_empty();
  v.kind = OMBRIX_STRING;
  v.as.text.data = text;
  v.as.text.size = size;
  return v;
}
static inline ombrix_value ombrix_bytes(uint8_t* data, size_t size, int32_t lower_bound) {
  ombrix_value v = ombrix_empty();
  v.kind = OMBRIX_BYTES;
  v.lower_bound = lower_bound;
  v.as.bytes.data = data;
  v.as.bytes.size = size;
  return v;
}
static inline ombrix_value ombrix_object_value(ombrix_object* object) {
  ombrix_value v = ombrix_empty();
  v.kind = OMBRIX_OBJECT;
  v.as.object = object;
  return v;
}

/** Frees what a value given by the library owns (releasing an object
 *  reference) and makes it Empty; a value the caller built is made Empty. */
void ombrix_value_clear(ombrix_value* value);

/** A new object of the class named `name` ("ByteArray", "Ombrix.ByteArray",
 *  any case), with one reference for the caller; 429 for a class that is
 *  unknown or that clients may not create. */
int32_t ombrix_create(const char* name, ombrix_object** object);
/** Adds a reference; returns the new count. */
uint32_t ombrix_add_ref(ombrix_object* object);
/** Releases a reference; returns the count left (0: the reference is gone). */
uint32_t ombrix_release(ombrix_object* object);
/** 1 when both refer to the same object (or both to none), else 0. */
int ombrix_same_object(const ombrix_object* a, const ombrix_object* b);
/** The name of the object's class ("ByteArrayInterval", "Enumerator", ...). */
const char* ombrix_class_of(const ombrix_object* object);

/** The number of the member `name` for ombrix_invoke_number: 0 for "" (the
 *  default member), 438 when the class has no such member. */
int32_t ombrix_member_number(const ombrix_object* object, const char* name, int32_t* number);
/** Calls member `name` (any case; "" the default member) as one of `kinds`,
 *  with `count` arguments (a let's or set's value last). `result`, when not
 *  NULL, receives the result, to be cleared by ombrix_value_clear. An
 *  OMBRIX_BYTES argument that the member writes (WriteBytes) is written in
 *  place; an argument the member replaces (GetMap) is given a value the
 *  caller clears. Errors: 438 no such member, 450 wrong number of arguments
 *  or an invalid assignment, 449 an argument left out, 13 a type mismatch,
 *  91 Nothing, and the member's own. */
int32_t ombrix_invoke(ombrix_object* object, const char* name, uint32_t kinds,
                      ombrix_value* arguments, size_t count, ombrix_value* result);
/** The same by member number, without the lookup of the name. */
int32_t ombrix_invoke_number(ombrix_object* object, int32_t number, uint32_t kinds,
                             ombrix_value* arguments, size_t count, ombrix_value* result);

/** Up to `count` next items of an enumerator (from NewEnum) into `items`;
 *  `fetched` receives how many (fewer at the end). Each is cleared by the
 *  caller. */
int32_t ombrix_next(ombrix_object* enumerator, size_t count, ombrix_value* items, size_t* fetched);

/** The last failure on the calling thread: its number (0 after a success),
 *  source and description; the texts stay valid until the thread's next call. */
int32_t ombrix_error_number(void);
const char* ombrix_error_source(void);
const char* ombrix_error_description(void);

/** One class of the catalogue, as ombrix_class_info_at gives it. */
typedef struct ombrix_class_info {
  const char* name;         /**< the class's name */
  const char* description;  /**< its help text, lines apart by "\n"; "" for none */
  int32_t creatable;        /**< 1 when clients may create it */
  int32_t persisted;        /**< 1 when it saves itself to a property bag */
  const char* also_answers; /**< the interface it also answers; "" for none */
  int32_t member_count;     /**< members reachable by name, own interface first */
} ombrix_class_info;

/** One member of a class, as ombrix_member_info_at gives it. */
typedef struct ombrix_member_info {
  int32_t number;             /**< for ombrix_invoke_number */
  const char* name;           /**< the member's name */
  const char* interface_name; /**< the interface it belongs to */
  uint32_t kind;              /**< OMBRIX_METHOD, OMBRIX_GET, OMBRIX_LET or OMBRIX_SET */
  const char* result_type;    /**< "Long", "ByteArray", ...; "" for none */
  const char* help;           /**< its help text; "" for none */
  int32_t role;               /**< 0 ordinary, 1 the default member, 2 the enumerator */
  int32_t parameter_count;    /**< its parameters, a let's or set's value last */
} ombrix_member_info;

/** One parameter of a member, as ombrix_parameter_info_at gives it. */
typedef struct ombrix_parameter_info {
  const char* name;      /**< "" for the value a let or set assigns */
  const char* type;      /**< "Long", "Byte()", "ByteArray", ... */
  int32_t optional;      /**< 1 when it may be left out */
  int32_t default_value; /**< the value of a left-out optional parameter */
  int32_t by_reference;  /**< 1 when passed by reference */
} ombrix_parameter_info;

/** The library's own description. */
const char* ombrix_library_description(void);
/** The number of classes in the catalogue. */
int32_t ombrix_class_count(void);
/** Class `index` (0 up to ombrix_class_count() - 1); 9 outside. */
int32_t ombrix_class_info_at(int32_t index, ombrix_class_info* info);
/** The index of the class named `name` (any case), or -1. */
int32_t ombrix_find_class(const char* name);
/** Member `member` (0-based, in slot order, own interface first) of class `index`. */
int32_t ombrix_member_info_at(int32_t index, int32_t member, ombrix_member_info* info);
/** Parameter `parameter` of that member. */
int32_t ombrix_parameter_info_at(int32_t index, int32_t member, int32_t parameter,
                                 ombrix_parameter_info* info);

#ifdef __cplusplus
}
#endif

#endif /* OMBRIX_OMBRIX_C_H */
