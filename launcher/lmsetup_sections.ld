/* Augments the linker's default script for the Windows launcher: the base
   relocations (.reloc) are placed in front of the resources, so that .rsrc
   is the image's last section. lmpack rebuilds that section when it brands
   a setup (its own icon and version information), and only a last section
   can grow without moving anything else of the image. The relocations keep
   the image relocatable (ASLR); they are found through their data
   directory, so their place does not matter to the loader. */
SECTIONS
{
  .reloc BLOCK(__section_alignment__) :
  {
    *(.reloc)
  }
}
INSERT BEFORE .rsrc;

/* No unwind tables: the launcher is built without exceptions, and what is
   left in .eh_frame, .pdata and .xdata comes from MinGW's startup objects
   (some 3 KB of the 32-bit image, 1.5 KB of the x86-64 one). Nothing
   unwinds through them: the 32-bit startup offers the .eh_frame tables to
   libgcc's unwinder only when a libgcc DLL is already loaded, and then
   hands it no tables (a null start, which it skips). On x86-64 the
   project's own code has no .pdata entries already, so a fault meets
   frames Windows takes for leaf functions and ends the process whether or
   not the startup's few entries stay; nothing in the launcher recovers
   from a fault. */
SECTIONS
{
  /DISCARD/ : { *(.eh_frame) *(.pdata*) *(.xdata*) }
}
INSERT BEFORE .rsrc;
