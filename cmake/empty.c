/* Gives a target built wholly from other archives a source of its own. */
typedef int kro_empty_translation_unit;
