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
   left in .eh_frame comes from MinGW's startup objects (some 3 KB of the
   32-bit image). Nothing unwinds through them: the 32-bit startup offers
   the tables to libgcc's unwinder only when a libgcc DLL is already loaded,
   and then hands it no tables (a null start, which it skips); x86-64
   unwinds through .pdata, not .eh_frame. */
SECTIONS
{
  /DISCARD/ : { *(.eh_frame) }
}
INSERT BEFORE .rsrc;
