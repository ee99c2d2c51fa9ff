// maprenderer.h
//
// What the renderers of a noise map into an image share.

#ifndef OROVISTA_NOISE_MAPRENDERER_H
#define OROVISTA_NOISE_MAPRENDERER_H

#include "noise/image.h"
#include "noise/noisemap.h"

namespace noise
{

  namespace utils
  {

    /// Base of the renderers that turn a noise map into an image of the
    /// same size, cell for cell.
    class MapRenderer
    {

      public:

        virtual ~MapRenderer ();

        /// Renders the source map into the destination image, which is
        /// resized to the map's size.
        ///
        /// @throw noise::ExceptionInvalidParam the source map or the
        /// destination image is missing, the map is empty, or the
        /// renderer's own settings do not allow rendering.
        virtual void Render () = 0;

        /// Sets the map rendered.  The renderer does not own it.
        void SetSourceNoiseMap (const NoiseMap& sourceNoiseMap)
        {
          m_sourceNoiseMap = &sourceNoiseMap;
        }

        /// Sets the image written.  The renderer does not own it.
        void SetDestImage (Image& destImage)
        {
          m_destImage = &destImage;
        }

      protected:

        /// Checks the source and the destination (and @a settingsValid),
        /// sizes the destination to the source and returns the source.
        ///
        /// @throw noise::ExceptionInvalidParam see Render().
        const NoiseMap& PrepareRender (bool settingsValid);

        Image& DestImage () const
        {
          return *m_destImage;
        }

      private:

        const NoiseMap* m_sourceNoiseMap = nullptr;
        Image* m_destImage = nullptr;

    };

  }

}

#endif
