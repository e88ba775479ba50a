/* A library exporting a name of Aravis, which the quarvo tool links: a producer that depends on
 * this library must get this answer, not Aravis's. */
__attribute__((visibility("default"))) unsigned int arv_get_n_interfaces(void) { return 4242; }
