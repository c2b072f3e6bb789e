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
