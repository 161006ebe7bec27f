"""What happens to a signed document after its signature container is in
place: validation information in the DSS, then the archival document
timestamp (PAdES B-LT and B-LTA)."""

from __future__ import annotations

from typing import TYPE_CHECKING, Any, BinaryIO, Optional

from ..exceptions import SigningError
from ..net import share_connections
from .... import _pdfengine
from ..pdf_utils.incremental_writer import free_field_name
from .doc_timestamp import async_timestamp_update
from .embedding import append_update, document_bytes
from .validation_info import (ValidationData, dss_update, extend_dss, gather_validation_data, require_gathering,
                              vri_key)

if TYPE_CHECKING:
    from .timestamps import Timestamper

__all__ = ["PostSignInstructions"]


class PostSignInstructions:
    """Work to carry out on the output once the signature is embedded.

    The timestamper for the archival timestamp is the one given here or, when
    none is, the one the signer used for its signature timestamp (looked up
    when the work is done, since the signer learns it while signing).
    """

    def __init__(self, embed_validation_info: bool = False, use_pades_lta: bool = False,
                 validation_context: Any = None, dss_settings: Any = None,
                 timestamper: Optional[Timestamper] = None, signer: Any = None) -> None:
        self.embed_validation_info = bool(embed_validation_info)
        self.use_pades_lta = bool(use_pades_lta)
        self.validation_context = validation_context
        self.dss_settings = dss_settings
        self._timestamper = timestamper
        self.signer = signer

    @property
    def timestamper(self) -> Optional[Timestamper]:
        if self._timestamper is not None:
            return self._timestamper
        return getattr(self.signer, "timestamper", None)

    @property
    def include_vri(self) -> bool:
        return bool(getattr(self.dss_settings, "include_vri", False))

    def check(self, validation_context: Any = None) -> None:
        """Raises, before the output is touched, when the work cannot be carried out."""
        if self.embed_validation_info:
            require_gathering(validation_context or self.validation_context)
        if self.use_pades_lta and self.timestamper is None:
            raise _no_timestamper()

    async def carry_out(self, output: BinaryIO, container_der: bytes, bytes_reserved: int,
                        validation_context: Any = None) -> None:
        """Appends the DSS update and the archival timestamp to ``output``."""
        # The fetches go over the connections the timestamper already holds.
        share_connections(validation_context or self.validation_context, self.timestamper)
        if self.embed_validation_info:
            await self.append_validation_info(output, container_der, bytes_reserved, validation_context)
        if self.use_pades_lta:
            await self.append_archival_timestamp(output)

    async def append_validation_info(self, output: BinaryIO, container_der: bytes, bytes_reserved: int,
                                     validation_context: Any = None) -> None:
        """Appends a DSS update with the container's validation data to ``output``."""
        context = validation_context or self.validation_context
        data = await gather_validation_data(context, container_der)
        vri: Optional[dict[str, ValidationData]] = None
        if self.include_vri:
            contents = container_der + bytes(bytes_reserved - len(container_der))
            vri = {vri_key(contents): data}
        engine = getattr(output, "engine_document", None)
        if engine is not None:
            # The prepared output's own document goes on: nothing is parsed again.
            output.append_engine_update(extend_dss(engine, data, vri))  # type: ignore[attr-defined]
            return
        content = document_bytes(output)
        update = dss_update([content], data, vri)
        del content  # let the stream grow in place instead of copying a shared buffer
        append_update(output, update)

    async def append_archival_timestamp(self, output: BinaryIO) -> None:
        """Appends a document timestamp over the whole of ``output``; the
        untouched beginning of a prepared output is not hashed again."""
        timestamper = self.timestamper
        if timestamper is None:
            raise _no_timestamper()
        prefix = getattr(output, "hashed_prefix", None)
        engine = getattr(output, "engine_document", None)
        content = document_bytes(output)
        document = engine if engine is not None else _pdfengine.open(content)
        field_name = free_field_name(document, "DocumentTimestamp")
        update, _token = await async_timestamp_update(document, [content], timestamper, field_name, prefix)
        del document, content
        if engine is not None:
            output.append_engine_update(update)  # type: ignore[attr-defined]
        else:
            append_update(output, update)


def _no_timestamper() -> SigningError:
    return SigningError("the archival document timestamp needs a timestamper, and neither "
                        "the PDF signer nor its signer has one")
