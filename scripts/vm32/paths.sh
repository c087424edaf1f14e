# Sourced by the scripts of the 32-bit test machine: where its image lives.
# The image is named by a hash of its recipe (image.sh and the guest's
# init.sh), so a changed recipe builds a new one while an unchanged one is
# found again by every clone on this machine: it is kept outside the source
# tree, in the user's cache folder (TAVREL_VM32_CACHE overrides it).
vm32_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
vm32_cache=${TAVREL_VM32_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tavrel}
vm32_recipe=$(cat "$vm32_dir/image.sh" "$vm32_dir/init.sh" | sha256sum | cut -c1-12)
vm32_image=$vm32_cache/vm32-$vm32_recipe
# TAVREL_VM32_IMAGE names an image folder to use as it is (one of an
# earlier recipe, while a change to the recipe is being tried).
if [ -n "${TAVREL_VM32_IMAGE:-}" ]; then vm32_image=$TAVREL_VM32_IMAGE; fi
