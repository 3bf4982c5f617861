/* Decodes a frame through the component server's C interface alone, by
 * late binding, as a program in any language would: the speed is a
 * Motorola field of 12 bits after 4, a quarter km/h per step; the state is
 * the low 3 bits of the last byte, named by an enumeration.
 *
 *   decode_frame [HEX_FRAME]
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ombrix/ombrix_c.h"

/* Stops the program with the library's message when a call fails. */
static void check(int32_t status, const char* what) {
  if (status != 0) {
    fprintf(stderr, "decode_frame: %s: error %d: %s\n", what, (int)ombrix_error_number(),
            ombrix_error_description());
    exit(1);
  }
}

static ombrix_object* create(const char* name) {
  ombrix_object* object = NULL;
  check(ombrix_create(name, &object), name);
  return object;
}

/* Calls a member that gives nothing back. */
static void call(ombrix_object* object, const char* name, uint32_t kinds, ombrix_value* arguments,
                 size_t count) {
  check(ombrix_invoke(object, name, kinds, arguments, count, NULL), name);
}

/* Calls a member and prints its text result. */
static void print(ombrix_object* object, const char* name, const char* label) {
  ombrix_value text = ombrix_empty();
  check(ombrix_invoke(object, name, OMBRIX_GET, NULL, 0, &text), name);
  printf("%s: %.*s\n", label, (int)text.as.text.size, text.as.text.data);
  ombrix_value_clear(&text);
}

int main(int argc, char** argv) {
  const char* hex = argc > 1 ? argv[1] : "0123456789ABCDEF";
  ombrix_object* frame = create("Ombrix.ByteArray");
  ombrix_value text = ombrix_text(hex, strlen(hex));
  call(frame, "Text", OMBRIX_LET, &text, 1);

  ombrix_object* field = create("BigEndian");
  ombrix_value where[4] = {ombrix_object_value(frame), ombrix_long(4), ombrix_long(12),
                           ombrix_boolean(0)};
  call(field, "NumericItem_RefersTo", OMBRIX_METHOD, where, 4);
  ombrix_object* speed = create("ScaledValue");
  ombrix_value item = ombrix_object_value(field);
  call(speed, "RefersTo", OMBRIX_SET, &item, 1);
  /* The scaled value holds the field, and the field its view of the frame. */
  ombrix_release(field);
  ombrix_value a = ombrix_double(0.25), c = ombrix_double(1), precision = ombrix_long(2);
  ombrix_value unit = ombrix_text("km/h", 4);
  call(speed, "CoeffA", OMBRIX_LET, &a, 1);
  call(speed, "CoeffC", OMBRIX_LET, &c, 1);
  call(speed, "Precision", OMBRIX_LET, &precision, 1);
  call(speed, "Unit", OMBRIX_LET, &unit, 1);
  print(frame, "Text", "frame");
  ombrix_value value = ombrix_empty();
  check(ombrix_invoke(speed, "Value", OMBRIX_GET, NULL, 0, &value), "Value");
  printf("speed: %.2f km/h\n", value.as.number);

  ombrix_object* states = create("Enumeration");
  const char* names[] = {"Off", "Idle", "Drive", "Fault"};
  for (int32_t k = 0; k < 4; ++k) {
    ombrix_value pair[2] = {ombrix_text(names[k], strlen(names[k])), ombrix_long(k)};
    call(states, "Add", OMBRIX_METHOD, pair, 2);
  }
  ombrix_value count = ombrix_empty();
  check(ombrix_invoke(frame, "Count", OMBRIX_GET, NULL, 0, &count), "Count");
  ombrix_value index = ombrix_long(count.as.long_value);
  ombrix_value last = ombrix_empty();
  check(ombrix_invoke(frame, "", OMBRIX_GET, &index, 1, &last), "Item");
  ombrix_value state = ombrix_long(last.as.long_value & 3);
  ombrix_value name = ombrix_empty();
  check(ombrix_invoke(states, "Text", OMBRIX_GET, &state, 1, &name), "Text");
  printf("state: %.*s\n", (int)name.as.text.size, name.as.text.data);
  ombrix_value_clear(&name);

  /* Every state, through the enumerator that for-each loops use. */
  ombrix_value walk = ombrix_empty();
  check(ombrix_invoke(states, "NewEnum", OMBRIX_METHOD, NULL, 0, &walk), "NewEnum");
  ombrix_value each = ombrix_empty();
  size_t fetched = 0;
  printf("states:");
  while (ombrix_next(walk.as.object, 1, &each, &fetched) == 0 && fetched == 1) {
    printf(" %.*s", (int)each.as.text.size, each.as.text.data);
    ombrix_value_clear(&each);
  }
  printf("\n");
  ombrix_value_clear(&walk);

  ombrix_release(states);
  ombrix_release(speed);
  ombrix_release(frame);
  return 0;
}
